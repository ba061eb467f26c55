#!/usr/bin/env bash
# A repeatable mutation sample of the test suite: plants each small fault of
# scripts/mutations.txt in the production code, one at a time, builds the test programs named for
# it and runs them, and counts the faults the suite notices ("killed"). Run on two versions of
# the suite (before and after a change to the tests), it shows whether the new suite still
# catches as many small faults as the old one.
#
# Usage: scripts/mutation-sample.sh [OUTFILE]
#   OUTFILE  where the table goes as well as to the screen (default build/mutants/sample.txt)
#
# Builds in build/mutants (the dev preset's settings, ccache), one core, at niceness 10; each
# test program runs with a limit of 300 s. A failed build counts as killed ("compile"). Every
# mutation is checked before anything is built: its text must occur exactly once in its file,
# or the run is refused until the list is mended. The tree is left exactly as it was found;
# each run's output is kept in build/mutants/logs.
set -uo pipefail

# One core is shared with other people's builds: stay below them.
if (($(nice) < 10)); then
    exec nice -n $((10 - $(nice))) "$0" "$@"
fi

out="${1:-}"
if [[ -n "$out" && "$out" != /* ]]; then
    out="$PWD/$out"
fi
cd "$(dirname "$0")/.." || exit 2
root="$PWD"
list="$root/scripts/mutations.txt"
build="$root/build/mutants"
logs="$build/logs"
out="${out:-$build/sample.txt}"
testLimit=300

if [[ -f /root/ccache.env ]]; then
    # shellcheck disable=SC1091
    . /root/ccache.env
fi

# The list's reader: "check" validates every mutation and prints one line per mutation
# (number, file, tests, legend, tab-separated); "apply N" plants mutation N.
mutations() {
    python3 - "$list" "$root" "$@" <<'PY'
import sys

list_path, root, command = sys.argv[1], sys.argv[2], sys.argv[3]
keys = ("file", "tests", "legend", "from", "to")

def blocks():
    found, current = [], {}
    with open(list_path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                if current:
                    found.append(current)
                current = {}
                continue
            key, colon, value = line.partition(":")
            if not colon or key not in keys:
                sys.exit(f"{list_path}:{number}: not a mutation line: {line}")
            value = value[1:] if value.startswith(" ") else value
            current.setdefault("line", number)
            if key in ("from", "to"):
                current.setdefault(key, []).append(value)
            elif key in current:
                sys.exit(f"{list_path}:{number}: {key} given twice")
            else:
                current[key] = value
    if current:
        found.append(current)
    return found

def problem(m):
    missing = [k for k in keys if k not in m]
    if missing:
        return "without " + ", ".join(missing)
    try:
        with open(f"{root}/{m['file']}", encoding="utf-8") as f:
            text = f.read()
    except OSError as error:
        return str(error)
    count = text.count("\n".join(m["from"]))
    if count != 1:
        return f"its text occurs {count} times in {m['file']}"
    return None

all_mutations = blocks()
if command == "check":
    bad = [(m, problem(m)) for m in all_mutations]
    bad = [(m, p) for m, p in bad if p]
    for m, p in bad:
        print(f"{list_path}:{m['line']}: mutation {all_mutations.index(m) + 1} {p}", file=sys.stderr)
    if bad:
        sys.exit(1)
    for n, m in enumerate(all_mutations, 1):
        print("\t".join([str(n), m["file"], m["tests"], m["legend"]]))
elif command == "apply":
    m = all_mutations[int(sys.argv[4]) - 1]
    if p := problem(m):
        sys.exit(f"mutation {sys.argv[4]}: {p}")
    path = f"{root}/{m['file']}"
    with open(path, encoding="utf-8") as f:
        text = f.read()
    with open(path, "w", encoding="utf-8") as f:
        f.write(text.replace("\n".join(m["from"]), "\n".join(m["to"]), 1))
PY
}

manifest="$(mutations check)" || {
    echo "mutation-sample: the list does not fit the code; mend scripts/mutations.txt" >&2
    exit 2
}

treeWasClean=true
git diff --quiet || treeWasClean=false
treeBefore="$(git diff | sha256sum)"

# The file being mutated and its copy: the copy goes back whatever ends the run. It goes back
# with a new time stamp, so that the next build compiles the file as it was.
mutatedFile=""
savedCopy="$(mktemp)"
restore() {
    if [[ -n "$mutatedFile" ]]; then
        cat "$savedCopy" >"$mutatedFile"
        mutatedFile=""
    fi
}
trap 'restore; rm -f "$savedCopy"' EXIT
trap 'restore; exit 130' INT
trap 'restore; exit 143' TERM HUP

mkdir -p "$logs"
if [[ ! -f "$build/build.ninja" ]]; then
    cmake --preset dev -B "$build" -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
        -DCMAKE_C_COMPILER_LAUNCHER=ccache >"$logs/configure.log" 2>&1 || {
        echo "mutation-sample: configuring $build failed, see $logs/configure.log" >&2
        exit 2
    }
fi

buildTest() { # program, log
    cmake --build "$build" -j1 --target "$1" </dev/null >>"$2" 2>&1
}

# Prints "passed", "failed" or "timeout".
runTest() { # program, log
    local rc
    (cd "$build/tests" && timeout -k 10 "$testLimit" "./$1" --gtest_brief=1 --gtest_fail_fast) \
        </dev/null >>"$2" 2>&1
    rc=$?
    if ((rc == 0)); then
        echo passed
    elif ((rc == 124 || rc == 137)); then
        echo timeout
    else
        echo failed
    fi
}

started=$SECONDS

# A sample taken on a suite that fails already would count that failure as kills.
read -r -a programs <<<"$(cut -f3 <<<"$manifest" | tr ' ' '\n' | sort -u | tr '\n' ' ')"
echo "unmutated: building and running ${programs[*]}"
for program in "${programs[@]}"; do
    log="$logs/unmutated-$program.log"
    : >"$log"
    if ! buildTest "$program" "$log"; then
        echo "mutation-sample: $program does not build unmutated, see $log" >&2
        exit 2
    fi
    if [[ "$(runTest "$program" "$log")" != passed ]]; then
        echo "mutation-sample: $program fails unmutated, see $log" >&2
        exit 2
    fi
done

legendWidth="$(cut -f4 <<<"$manifest" | awk '{ if (length > w) w = length } END { print w }')"
row() { # number, file, legend, result, caught by
    printf "%3s  %-34s  %-${legendWidth}s  %-8s  %s\n" "$@"
}

rows=()
killed=0
compiled=0
timedOut=0
total="$(wc -l <<<"$manifest")"
while IFS=$'\t' read -r -u 3 number file tests legend; do
    log="$logs/$(printf %02d "$number").log"
    echo "mutation $number: $file: $legend" >"$log"
    cp "$root/$file" "$savedCopy"
    mutatedFile="$root/$file"
    if ! mutations apply "$number" >>"$log" 2>&1; then
        restore
        echo "mutation-sample: mutation $number could not be applied, see $log" >&2
        exit 2
    fi
    mutationStarted=$SECONDS
    result=survived
    by="-"
    for program in $tests; do
        if ! buildTest "$program" "$log"; then
            result=compile
            by="$program"
            break
        fi
        outcome="$(runTest "$program" "$log")"
        if [[ "$outcome" != passed ]]; then
            result="$([[ "$outcome" == failed ]] && echo killed || echo timeout)"
            by="$program"
            break
        fi
    done
    restore
    case "$result" in
    killed) killed=$((killed + 1)) ;;
    compile)
        killed=$((killed + 1))
        compiled=$((compiled + 1))
        ;;
    timeout) timedOut=$((timedOut + 1)) ;;
    esac
    rows+=("$(row "$number" "$file" "$legend" "$result" "$by")")
    echo "[$number/$total, $((SECONDS - mutationStarted)) s] ${rows[-1]}"
done 3<<<"$manifest"

elapsed=$((SECONDS - started))
{
    echo "Mutation sample of $(git rev-parse --short HEAD) ($(git rev-parse --abbrev-ref HEAD))"
    row "No" "File" "Legend" "Result" "Caught by"
    printf '%s\n' "${rows[@]}"
    echo
    echo "killed $killed / $total (compile $compiled of them); timeout $timedOut;" \
        "survived $((total - killed - timedOut))"
    printf 'run time %d min %02d s\n' $((elapsed / 60)) $((elapsed % 60))
} | tee "$out"

if $treeWasClean; then
    git diff --quiet || {
        echo "mutation-sample: the tree is not as it was found" >&2
        exit 1
    }
elif [[ "$(git diff | sha256sum)" != "$treeBefore" ]]; then
    echo "mutation-sample: the tree is not as it was found" >&2
    exit 1
fi
