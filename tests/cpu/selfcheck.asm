; Self-checking 6502 program. Each check computes a result, calls CHECK
; with the expected accumulator and flags (N V Z C) in the two bytes after
; the JSR, and counts itself in TESTNO. All checks passed: the program
; loops at SUCCESS. A failed check loops at FAIL with its number in TESTNO.
; The test harness performs the interrupt sequence when BRK stops the
; processor. Written in the syntax both our assembler and 64tass accept.

TESTNO   = $02
RESA     = $03
RESP     = $04
RET      = $05
PTR      = $07
VEC      = $09
TMP      = $0B
TMP2     = $0C
SUMLO    = $0D
SUMHI    = $0E
WRAPZP   = $0F
COUNT    = $20
BRKHIT   = $21
BRKP     = $22
BUF      = $0400
IRQVEC   = $FFFE
BORDER   = $D020

         *= $C000
START    LDX #$FF
         TXS
         CLD
         CLI
         LDA #0
         STA TESTNO
         STA COUNT
         STA BRKHIT

; loads and flags
         LDA #$00
         JSR CHECK
         .BYTE $00, $02
         LDA #$80
         JSR CHECK
         .BYTE $80, $80
; binary add and subtract
         CLC
         LDA #$50
         ADC #$50
         JSR CHECK
         .BYTE $A0, $C0
         SEC
         LDA #$FF
         ADC #$00
         JSR CHECK
         .BYTE $00, $03
         SEC
         LDA #$00
         SBC #$01
         JSR CHECK
         .BYTE $FF, $80
         SEC
         LDA #$80
         SBC #$01
         JSR CHECK
         .BYTE $7F, $41
; compares
         LDA #$10
         CMP #$10
         JSR CHECK
         .BYTE $10, $03
         LDA #$10
         CMP #$20
         JSR CHECK
         .BYTE $10, $80
         LDA #$00
         LDX #$05
         CPX #$05
         JSR CHECK
         .BYTE $00, $03
         LDA #$00
         LDY #$05
         CPY #$06
         JSR CHECK
         .BYTE $00, $80
; decimal mode
         SED
         CLC
         LDA #$09
         ADC #$01
         CLD
         JSR CHECK
         .BYTE $10, $00
         SED
         CLC
         LDA #$99
         ADC #$01
         CLD
         JSR CHECK
         .BYTE $00, $81
         SED
         SEC
         LDA #$00
         SBC #$01
         CLD
         JSR CHECK
         .BYTE $99, $80
         SED
         SEC
         LDA #$42
         SBC #$13
         CLD
         JSR CHECK
         .BYTE $29, $01
; BIT
         LDA #$C0
         STA TMP
         LDA #$01
         BIT TMP
         JSR CHECK
         .BYTE $01, $C2
; shifts and rotates on the accumulator
         LDA #$81
         ASL A
         JSR CHECK
         .BYTE $02, $01
         LDA #$01
         LSR A
         JSR CHECK
         .BYTE $00, $03
         SEC
         LDA #$80
         ROL A
         JSR CHECK
         .BYTE $01, $01
         SEC
         LDA #$01
         ROR A
         JSR CHECK
         .BYTE $80, $81
; read-modify-write on memory (A keeps $FF, the flags come from memory)
         LDA #$FF
         STA TMP
         INC TMP
         JSR CHECK
         .BYTE $FF, $02
         LDA #$FF
         CLC
         DEC TMP
         JSR CHECK
         .BYTE $FF, $80
         LDA #$FF
         ASL TMP
         JSR CHECK
         .BYTE $FF, $81
         LDX #2
         LDA #$02
         STA TMP+2
         CLC
         ROR TMP,X
         LDA TMP+2
         JSR CHECK
         .BYTE $01, $00
         LDA #$40
         STA BUF+3
         LDX #3
         CLC
         ROL BUF,X
         LDA BUF+3
         JSR CHECK
         .BYTE $80, $80
; indexed and indirect addressing
         LDX #$05
         LDA #$AB
         STA BUF,X
         LDY #$05
         LDA #0
         LDA BUF,Y
         JSR CHECK
         .BYTE $AB, $80
         LDA #<BUF
         STA PTR
         LDA #>BUF
         STA PTR+1
         LDX #0
         LDA #$5A
         STA (PTR,X)
         LDA #0
         LDY #0
         LDA (PTR),Y
         JSR CHECK
         .BYTE $5A, $00
         LDY #5
         LDA (PTR),Y
         JSR CHECK
         .BYTE $AB, $80
         LDA #$66
         STA WRAPZP
         LDX #$1F
         LDA $F0,X
         JSR CHECK
         .BYTE $66, $00
         LDA #$31
         STA BUF+$20
         LDX #$1E
         LDA #<BUF-$1E+$20
         STA PTR+$1E-$1E
         LDA #>BUF
         STA PTR+1
         LDY #$1E
         LDA (PTR),Y
         JSR CHECK
         .BYTE $31, $00
; jumps
         LDA #<J1
         STA VEC
         LDA #>J1
         STA VEC+1
         JMP (VEC)
         JMP FAIL
J1       LDA #$77
         JSR CHECK
         .BYTE $77, $00
         LDA #<J2
         STA $02FF
         LDA #>J2
         STA $0200
         LDA #0
         STA $0300
         JMP ($02FF)
         JMP FAIL
J2       LDA #$78
         JSR CHECK
         .BYTE $78, $00
; branches
         CLV
         BVS BFAIL
         LDA #$80
         BPL BFAIL
         BMI B1
         JMP FAIL
B1       LDA #$01
         BMI BFAIL
         BEQ BFAIL
         BNE B2
BFAIL    JMP FAIL
B2       SEC
         BCC BFAIL
         BCS B3
         JMP FAIL
B3       CLC
         BCS BFAIL
         LDA #$7F
         ADC #$01
         BVC BFAIL
         BVS B4
         JMP FAIL
B4       LDA #$44
         JSR CHECK
         .BYTE $44, $40
; a counting loop: 100 + 99 + ... + 1 = 5050 = $13BA
         LDA #0
         STA SUMLO
         STA SUMHI
         LDX #100
LOOP1    TXA
         CLC
         ADC SUMLO
         STA SUMLO
         BCC NOC1
         INC SUMHI
NOC1     DEX
         BNE LOOP1
         LDA SUMLO
         JSR CHECK
         .BYTE $BA, $80
         LDA SUMHI
         JSR CHECK
         .BYTE $13, $00
; a 16-bit subtraction with borrow: $1000 - $0001 = $0FFF
         SEC
         LDA #$00
         SBC #$01
         STA TMP
         LDA #$10
         SBC #$00
         JSR CHECK
         .BYTE $0F, $01
         LDA TMP
         JSR CHECK
         .BYTE $FF, $80
; copying a block with a Y loop
         LDY #0
COPY1    LDA TEXT1,Y
         BEQ COPY2
         STA BUF+$40,Y
         INY
         BNE COPY1
COPY2    TYA
         JSR CHECK
         .BYTE $05, $00
         LDA BUF+$44
         JSR CHECK
         .BYTE $4F, $00
; recursion ten levels deep, stack balanced afterwards
         TSX
         STX TMP
         LDX #10
         JSR RECUR
         LDA COUNT
         JSR CHECK
         .BYTE $0A, $00
         TSX
         TXA
         CMP TMP
         JSR CHECK
         .BYTE $FF, $03
; the stack: order of pulls, PHP and PLP
         LDA #$11
         PHA
         LDA #$22
         PHA
         PLA
         JSR CHECK
         .BYTE $22, $00
         PLA
         JSR CHECK
         .BYTE $11, $00
         LDA #$FF
         PHA
         PLP
         PHP
         CLD
         PLA
         JSR CHECK
         .BYTE $FF, $C1
         CLI
         LDA #$00
         PHA
         PLP
         PHP
         PLA
         JSR CHECK
         .BYTE $30, $00
         SEI
         SED
         PHP
         CLD
         CLI
         PLA
         AND #$0C
         JSR CHECK
         .BYTE $0C, $00
         TSX
         STX TMP
         LDX #$40
         TXS
         TSX
         STX TMP2
         LDX TMP
         TXS
         LDA TMP2
         JSR CHECK
         .BYTE $40, $00
; transfers
         LDX #$80
         TXA
         JSR CHECK
         .BYTE $80, $80
         LDY #$00
         TYA
         JSR CHECK
         .BYTE $00, $02
         LDA #$C3
         TAX
         TAY
         INY
         DEX
         TYA
         JSR CHECK
         .BYTE $C4, $80
         TXA
         JSR CHECK
         .BYTE $C2, $80
; BRK through the vector and back with RTI
         LDA #<BRKH
         STA IRQVEC
         LDA #>BRKH
         STA IRQVEC+1
         BRK
         .BYTE $EA
         LDA BRKHIT
         JSR CHECK
         .BYTE $01, $00
         LDA BRKP
         JSR CHECK
         .BYTE $30, $00
; the video registers
         LDA #$07
         STA BORDER
         LDA #$00
         LDA BORDER
         JSR CHECK
         .BYTE $07, $00

SUCCESS  JMP SUCCESS
FAIL     JMP FAIL

; CHECK: compares A and the N V Z C flags with the two bytes after the
; calling JSR and returns behind them with C and V clear.
CHECK    PHP
         STA RESA
         PLA
         AND #$C3
         STA RESP
         PLA
         STA RET
         PLA
         STA RET+1
         LDY #1
         LDA (RET),Y
         CMP RESA
         BNE CHKFAIL
         INY
         LDA (RET),Y
         CMP RESP
         BNE CHKFAIL
         INC TESTNO
         CLC
         LDA RET
         ADC #3
         STA RET
         BCC CHK1
         INC RET+1
CHK1     CLC
         CLV
         JMP (RET)
CHKFAIL  JMP FAIL

RECUR    INC COUNT
         DEX
         BEQ RECUR1
         JSR RECUR
RECUR1   RTS

BRKH     PLA
         PHA
         AND #$30
         STA BRKP
         INC BRKHIT
         RTI

TEXT1    .TEXT "HELLO"
         .BYTE 0
