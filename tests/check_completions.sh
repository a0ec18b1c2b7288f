#!/usr/bin/env bash
# The bash completions at work: options, option values, board names and file names, as bash
# offers them after a press of Tab.
#   check_completions.sh COMPLETIONS_DIR "BOARD;NAMES"
set -uo pipefail
source "$1/brindlewick-asm"
source "$1/brindlewick-sim"
IFS=';' read -r -a boards <<<"$2"
cd "$(mktemp -d)"
touch blink.asm blink.bin my-board.json notes.txt
mkdir boards

failures=0
# complete FUNCTION EXPECTED WORD...: the words typed so far, the last one being completed.
complete_words() {
  local function=$1 expected=$2
  shift 2
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  "$function"
  local offered
  offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
  if [ "$offered" != "$expected " ] && [ "$offered" != "$expected" ]; then
    echo "after '$*': offered '$offered', expected '$expected'" >&2
    failures=$((failures + 1))
  fi
}

complete_words _brindlewick_asm "--disassemble" brindlewick-asm --dis
complete_words _brindlewick_asm "--help --hex" brindlewick-asm --he
complete_words _brindlewick_asm "blink.asm blink.bin" brindlewick-asm bli
complete_words _brindlewick_asm "blink.asm blink.bin" brindlewick-asm blink.asm -o bli
complete_words _brindlewick_sim "--cpu" brindlewick-sim --cp
complete_words _brindlewick_sim "4004 4040" brindlewick-sim --cpu ""
complete_words _brindlewick_sim "busicom-141pf" brindlewick-sim --board bu
complete_words _brindlewick_sim "$(printf '%s\n' "${boards[@]}" boards my-board.json | sort | tr '\n' ' ' | sed 's/ $//')" brindlewick-sim --board ""
complete_words _brindlewick_sim "my-board.json" brindlewick-sim --board my
complete_words _brindlewick_sim "" brindlewick-sim --keys 12
complete_words _brindlewick_sim "blink.asm blink.bin" brindlewick-sim --image bli
exit $((failures > 0))
