‡NOP
JZ L
L:
