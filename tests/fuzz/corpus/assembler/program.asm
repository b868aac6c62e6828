; a program
*=$C000
start   LDA #<table
        STA $FB
loop    LDA (ptr),Y
        BNE loop
        JMP start
ptr = $FB
table   .BYTE 1,2,$FF,'a'
        .WORD start, *
        .TEXT "HI;THERE"
        .WORDHL table
