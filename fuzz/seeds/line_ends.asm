start:
  jun next ; cr lf
nopnext:
	jz next
FIM 1, [start]
ISZ 5, next
DATA 7e
; café  
LDM 15