#!/usr/bin/env bash
# replay_test.sh SHINDAN_TOOL JAPANESE_PACK ENGLISH_PACK SCRIPT
# Plays the same whole test on both packs with the replay tool and checks the
# English pack changes nothing the program itself writes: the same run, the
# same result file (Shift-JIS labels and all), and the same sounds and tunes.
set -u
tool=$1
ja=$2
en=$3
script=$4
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The screenshots' test up to the analysis, then Space and on to the next title:
# the result file is written as the analysis ends.
cp "$script" "$work/script.txt"
printf '%s\n' "tap space" "until title 1 max 20000" >> "$work/script.txt"

for pack in ja en; do
  from=$ja
  if [ "$pack" = en ]; then from=$en; fi
  mkdir -p "$work/$pack"
  cp "$from"/*.bm "$from"/*.wav "$from"/*.mid "$work/$pack/"
  if ! (cd "$work/$pack" && "$tool" replay "$work/script.txt" > "$work/$pack.summary" 2> "$work/$pack.errors"); then
    fail "the replay on the $pack pack did not finish"
    cat "$work/$pack.errors"
  fi
  if [ ! -s "$work/$pack/分析結果.txt" ]; then
    fail "no result file after a whole test on the $pack pack"
  fi
done

if ! cmp -s "$work/ja.summary" "$work/en.summary"; then
  fail "the run differs between the packs"
  diff "$work/ja.summary" "$work/en.summary"
fi
if ! cmp -s "$work/ja/分析結果.txt" "$work/en/分析結果.txt"; then
  fail "the result file differs between the packs"
fi

# The result file on the English pack: eight records, each a 16-byte label
# that starts with a Shift-JIS lead byte, then a score from -100 to 100, then CR.
result="$work/en/分析結果.txt"
records=0
while IFS= read -r -d $'\r' record; do
  records=$((records + 1))
  label=${record:0:16}
  score=${record:16}
  lead=$(printf '%s' "$label" | od -An -tu1 -N1 | tr -d ' ')
  if [ "${#label}" -ne 16 ] || [ "$lead" -lt 129 ] || { [ "$lead" -gt 159 ] && [ "$lead" -lt 224 ]; }; then
    fail "record $records: label is not 16 bytes of Shift-JIS"
  fi
  if ! [[ "$score" =~ ^-?[0-9]+$ ]] || [ "$score" -lt -100 ] || [ "$score" -gt 100 ]; then
    fail "record $records: score '$score' is not a number from -100 to 100"
  fi
done < "$result"
if [ "$records" -ne 8 ]; then
  fail "the result file holds $records records, not 8"
fi

for f in "$ja"/*.wav "$ja"/*.mid; do
  if ! cmp -s "$f" "$en/$(basename "$f")"; then
    fail "$(basename "$f") is not shared between the packs"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "the English pack plays the same test to the same result file"
