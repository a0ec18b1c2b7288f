; Sends "HELLO, 4004" over a serial line, 8 data bits, no parity, 1 stop bit, on bit 0 of
; ROM port 0. Each bit lasts 8 instruction cycles: 9600 baud at a clock of 614.4 kHz.
;
;   brindlewick-sim examples/hello.asm --serial-tx rom:0:0 --clock 614400 --baud 9600 \
;     --until-output 4004

        FIM 7, 00       ; P7: ROM port 0
        SRC 7
        LDM 1
        WRR             ; the line rests at 1
        FIM 0, [TEXT]   ; P0: the next character
NEXT:
        FIN 1           ; the character into P1 (R2 R3)
        LDA 2
        JNZ SEND
        LDA 3
        JZ DONE         ; 00 ends the text
SEND:
        JMS PUTCHAR
        ISZ 1, NEXT     ; next character
        INC 0           ; on into the next row of 16
        JUN NEXT
DONE:
        JUN DONE
TEXT:
        DATA 48         ; H
        DATA 45         ; E
        DATA 4C         ; L
        DATA 4C         ; L
        DATA 4F         ; O
        DATA 2C         ; ,
        DATA 20         ;
        DATA 34         ; 4
        DATA 30         ; 0
        DATA 30         ; 0
        DATA 34         ; 4
        DATA 00

; Sends the byte in P1 (R2 R3), least significant bit first. Every WRR comes exactly 8 cycles
; after the one before it.
PUTCHAR:
        CLB
        WRR             ; start bit
        LDA 3
        RAR             ; the next bit into the carry
        XCH 3
        TCC
        NOP
        NOP
        NOP
        WRR             ; bit 0
        LDA 3
        RAR             ; the next bit into the carry
        XCH 3
        TCC
        NOP
        NOP
        NOP
        WRR             ; bit 1
        LDA 3
        RAR             ; the next bit into the carry
        XCH 3
        TCC
        NOP
        NOP
        NOP
        WRR             ; bit 2
        LDA 3
        RAR             ; the next bit into the carry
        XCH 3
        TCC
        NOP
        NOP
        NOP
        WRR             ; bit 3
        LDA 2
        RAR             ; the next bit into the carry
        XCH 2
        TCC
        NOP
        NOP
        NOP
        WRR             ; bit 4
        LDA 2
        RAR             ; the next bit into the carry
        XCH 2
        TCC
        NOP
        NOP
        NOP
        WRR             ; bit 5
        LDA 2
        RAR             ; the next bit into the carry
        XCH 2
        TCC
        NOP
        NOP
        NOP
        WRR             ; bit 6
        LDA 2
        RAR             ; the next bit into the carry
        XCH 2
        TCC
        NOP
        NOP
        NOP
        WRR             ; bit 7
        LDM 1
        NOP
        NOP
        NOP
        NOP
        NOP
        NOP
        NOP
        WRR             ; stop bit
        NOP
        NOP
        NOP
        NOP
        BBL 0
