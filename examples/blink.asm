; Walks a light along the four output lines of ROM port 0, one step per
; delay, then holds the last step while the TEST input is low and starts over.
; The light pattern is a table in the same 256-byte block, read with FIN.

START:
        FIM 0, [TABLE]  ; pair 0 (R0, R1) points at the first pattern
        FIM 1, 00       ; pair 1 selects ROM port 0
        LDM C           ; four steps: ISZ counts R6 from C up to 0
        XCH 6
STEP:
        FIN 2           ; pattern at the address in pair 0 -> R4, R5
        SRC 1           ; address ROM port 0
        LDA 5           ; low four bits of the pattern
        WRR             ; out to the port
        JMS DELAY
        INC 1           ; next table entry
        ISZ 6, STEP
HOLD:
        JT HOLD         ; wait here while TEST is low
        JUN START

DELAY:                  ; 16 x 16 turns of the loop
        FIM 7, 00
WAIT:
        ISZ E, WAIT
        ISZ F, WAIT
        BBL 0

TABLE:
        DATA 01
        DATA 02
        DATA 04
        DATA 08
