; bmpview: the C64 picture viewer that "Save executable" writes in front of
; a bitmap. The editor copies this program, patches five bytes and appends
; the picture, so the result loads and starts like any BASIC program:
;   LOAD"PICTURE",8  then  RUN
;
; File layout (offsets count from the first byte of the file, the two-byte
; load address included; memory address = $0801 + offset - 2):
;   0-1     load address $0801
;   2-13    BASIC line 10 SYS2061
;   14      entry ($080D)
;   23      border colour        (LDA # operand, stored to $D020)
;   28      background colour    (LDA # operand, stored to $D021)
;   33      extra colour 1       (LDA # operand, stored to $D022)
;   38      extra colour 2       (LDA # operand, stored to $D023)
;   69      display mode         (LDA # operand): 0 hires, else multicolour
;   DATA    the viewer's last byte + 1, i.e. load address + file length - 2:
;           8192 bytes bitmap, 1024 bytes screen, 1024 bytes colour memory
;
; The instructions are ordered so that the patched operands fall on these
; offsets; moving code in front of offset 69 moves the patch points.
;
; The picture is shown from VIC bank 1 ($4000-$7FFF), which the appended
; data (ending near $3100) never reach: bitmap at $4000, video matrix at
; $6000. Bitmap and screen lie in the same order as in the file, so both
; come over in one run of 36 pages; colour memory goes to $D800.
;
; The viewer then waits for a key (all keys up first, so the RETURN of RUN
; does not end it at once), restores the text screen and returns to BASIC.
; The keyboard is read straight from CIA 1 with interrupts off: $DC01 reads
; $FF while no key is down.

SRC      = $FB          ; source pointer, walks through the appended data
DST      = $FD          ; destination pointer, always page-aligned
VICBASE  = $4000        ; bank 1: bitmap at +$0000, video matrix at +$2000
COLORRAM = $D800

         *=$0801

; BASIC line "10 SYS2061": link, line number, SYS token, digits, end.
         .WORD BASICEND
         .WORD 10
         .BYTE $9E
         .TEXT "2061"
         .BYTE 0
BASICEND .WORD 0

; file offset 14
ENTRY    SEI
         LDY #$00       ; Y stays 0 through every copy
         LDA #$0B       ; display off while memory is rearranged
         STA $D011

; file offsets 22-41: the patched colours
         LDA #$00
         STA $D020
         LDA #$00
         STA $D021
         LDA #$00
         STA $D022
         LDA #$00
         STA $D023

; file offsets 42-67
         LDA #<DATA
         STA SRC
         LDA #>DATA
         STA SRC+1
         STY DST
         LDA #$80       ; matrix at bank +$2000, bitmap at bank +$0000
         STA $D018
         LDA #$FF       ; keyboard: CIA 1 port A drives the columns,
         STA $DC02      ; port B reads the rows
         STY $DC03
         STY $D015      ; no sprites over the picture

; file offset 68: the mode byte is the operand at 69
         LDA #$10
         BEQ SETMODE
         LDA #$10       ; multicolour bit
SETMODE  ORA #$C8
         STA $D016

; VIC bank 1: $DD00 bits 0-1 are inverted bank bits, %10 selects bank 1
         LDA $DD02
         ORA #$03
         STA $DD02
         LDA $DD00
         AND #$FC
         ORA #$02
         STA $DD00

         LDA #>VICBASE  ; bitmap and screen, 32 + 4 pages
         LDX #36
         JSR COPY
         LDA #>COLORRAM ; colour memory, 4 pages
         LDX #4
         JSR COPY

         LDA #$3B       ; bitmap mode, display on
         STA $D011

         LDA #$02       ; every keyboard column but the one with Left
         STA $DC00      ; Shift, so a locked Shift Lock is no key
         JSR KEYSUP
KEYWAIT  LDA $DC01
         CMP #$FF
         BEQ KEYWAIT
         JSR KEYSUP

; Back to the text screen. Colour memory gets the cursor colour so the
; text left on the screen reads again.
         LDA #$0B
         STA $D011
         LDA $0286
         LDX #$00
FILL     STA $D800,X
         STA $D900,X
         STA $DA00,X
         STA $DB00,X
         INX
         BNE FILL
         LDA $DD00
         ORA #$03       ; bank 0
         STA $DD00
         LDA #$15
         STA $D018
         LDA #$C8
         STA $D016
         LDA #$0E
         STA $D020
         LDA #$06
         STA $D021
         LDA #$7F       ; the column the KERNAL's STOP check expects
         STA $DC00
         LDA #$1B
         STA $D011
         CLI
         RTS

; Waits until no key is down.
KEYSUP   LDA $DC01
         CMP #$FF
         BNE KEYSUP
         RTS

; Copies X pages from (SRC) to the page in A; SRC ends after the last page
; copied, so consecutive calls take consecutive data.
COPY     STA DST+1
COPYPAGE LDA (SRC),Y
         STA (DST),Y
         INY
         BNE COPYPAGE
         INC SRC+1
         INC DST+1
         DEX
         BNE COPYPAGE
         RTS

; The picture is appended here.
DATA
