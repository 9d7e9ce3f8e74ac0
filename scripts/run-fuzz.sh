#!/usr/bin/env bash
# Fuzzes opening a workbook file for SECONDS seconds (default 60) with libFuzzer, under
# AddressSanitizer and UndefinedBehaviorSanitizer.
#   scripts/run-fuzz.sh [SECONDS]
# Builds in build-fuzz with clang, replays the kept regression inputs, seeds the corpus with the
# sample workbooks, and fails when an input crashes, leaks, hangs or takes too much memory; such
# an input is copied to tests/data/fuzz-regressions/ to be kept as a regression case.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
build="$root/build-fuzz"
regressions="$root/tests/data/fuzz-regressions"
jobs=${FUZZ_BUILD_JOBS:-2}

if ! command -v clang++ >/dev/null; then
  echo "run-fuzz: clang++ is missing (scripts/install-deps.sh --test installs it)" >&2
  exit 1
fi

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DEXCELMERGE_FUZZ=ON -DEXCELMERGE_SANITIZE=ON \
  -DEXCELMERGE_GUI=OFF -DEXCELMERGE_TESTS=OFF -DEXCELMERGE_BENCH=OFF >/dev/null
ninja -C "$build" -j"$jobs" fuzz_open_workbook

fuzzer="$build/fuzz/fuzz_open_workbook"
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
mkdir -p "$corpus" "$artifacts" "$regressions"

# Seeds: the sample workbooks Debian ships, the ones in the source tree, and past regressions.
seeds=()
for folder in /usr/share/doc/libspreadsheet-parseexcel-perl/examples/sample/Excel \
              /usr/share/doc/python3-xlrd/examples "$root/tests/data" "$root/bench/corpus"; do
  [[ -d $folder ]] || continue
  while IFS= read -r -d '' f; do seeds+=("$f"); done \
    < <(find "$folder" -type f \( -iname '*.xls' -o -iname '*.xlsx' \) -size -2M -print0)
done
for f in "${seeds[@]}"; do cp -n "$f" "$corpus/seed-$(basename "$f")" 2>/dev/null || true; done
# A small .xlsx and a WriteExcel .xls, written here, so both formats are seeded.
if /usr/bin/python3 -c 'import openpyxl' 2>/dev/null; then
  /usr/bin/python3 - "$corpus/seed-openpyxl.xlsx" <<'PY' || true
import datetime, sys, openpyxl
book = openpyxl.Workbook()
sheet = book.active
sheet["A1"], sheet["B1"], sheet["C1"] = "名称", 1.5, True
sheet["A2"], sheet["B2"] = datetime.date(2024, 1, 5), "=1/0"
book.create_sheet("第二").append(["x", 2, None, "y"])
book.save(sys.argv[1])
PY
  seeds+=("$corpus/seed-openpyxl.xlsx")
fi
if perl -MSpreadsheet::WriteExcel -e1 2>/dev/null; then
  perl -MSpreadsheet::WriteExcel -e '
    my $book = Spreadsheet::WriteExcel->new($ARGV[0]);
    my $sheet = $book->add_worksheet("Data");
    $sheet->write(0, 0, "text"); $sheet->write(1, 1, 3.25); $sheet->write_formula(2, 0, "=B2*2");
    $book->add_worksheet("Other")->write(0, 0, "x");
    $book->close();' "$corpus/seed-writeexcel.xls" && seeds+=("$corpus/seed-writeexcel.xls")
fi
echo "run-fuzz: ${#seeds[@]} seed workbooks"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
limits=(-rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=20)

# Every kept regression input must now pass.
mapfile -t kept < <(find "$regressions" -type f ! -name 'README*' | sort)
if ((${#kept[@]})); then
  echo "run-fuzz: replaying ${#kept[@]} regression inputs"
  "$fuzzer" "${limits[@]}" "${kept[@]}"
fi

status=0
"$fuzzer" "${limits[@]}" -max_total_time="$seconds" -max_len=1048576 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$corpus" || status=$?

found=0
for f in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/oom-* "$artifacts"/timeout-*; do
  [[ -e $f ]] || continue
  mv "$f" "$regressions/"
  echo "run-fuzz: kept $(basename "$f") in tests/data/fuzz-regressions/" >&2
  found=1
done
if ((status != 0 || found)); then
  echo "run-fuzz: the fuzzer found a failing input (exit status $status)" >&2
  exit 1
fi
echo "run-fuzz: no failure in $seconds seconds"
