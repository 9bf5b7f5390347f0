# shellcheck shell=bash
# What --catalog reads of the catalog of chain_fixture.py, in any engine:
# each mode gives what the hand-written pipeline gives over the same rows
# in job order (deleted files left out as --latest leaves them), for both
# schemas; --client, --chain and --before choose the jobs --job names;
# several clients' files stay apart; --json documents hold --du's and
# --diff --summary's figures. Sourced, after the engine's script defines:
#   lstat             the b64num-lstat to run
#   uri_new, uri_old  --catalog's URI of the catalog in each schema
#   pipeline JOBS     the rows of JOBS in job order, as the engine's client
#                     escapes them, of the new schema
#   fail MESSAGE      count a failure
# and runs in a directory of its own.

: "${lstat:?}" "${uri_new:?}" "${uri_old:?}"
export TZ=UTC # StartTime is written in UTC

# What --catalog printed, and its status, against the pipeline's.
agrees() {
    [ "$2" = "$3" ] || fail "$1: otherwise than the pipeline:
$2
--- the pipeline:
$3"
}
catalog_uri_of() {
    if [ "$1" = new ]; then echo "$uri_new"; else echo "$uri_old"; fi
}
# -f prints a job's rows in the order the engine returns them, which
# differs between schemas and engines: the rows are compared as a set.
in_order_of() {
    if [[ $1 == -f* ]]; then LC_ALL=C sort; else cat; fi
}

# Names with a TAB or a line feed start with z: sqlite3 cannot escape them,
# and --name leaves them out on both sides.
plain="--name=[!z]*"
for mode in --du "--du --latest" "--du --all-versions" --ncdu "--by=kind" "-f size,nlink"; do
    for jobs in 1 1,2 2,1 10,12,13; do
        ordered=$([ "$jobs" = 2,1 ] && echo 1,2 || echo "$jobs")
        # The output and the status: the messages name lines of other inputs.
        # shellcheck disable=SC2086 # the mode's words
        expected=$(pipeline "$ordered" | { "$lstat" $mode "$plain" 2> /dev/null; echo "status $?"; } |
            grep -v '"timestamp"' | in_order_of "$mode")
        for schema in new old; do
            # shellcheck disable=SC2086
            got=$({ "$lstat" $mode "$plain" --catalog="$(catalog_uri_of "$schema")" --job="$jobs" 2> /dev/null;
                echo "status $?"; } | grep -v '"timestamp"' | in_order_of "$mode")
            agrees "$mode --job=$jobs ($schema schema)" "$got" "$expected"
        done
    done
done

# --under, which the engine is asked too: a directory, a file, a name with
# a backslash, a path one that is only a prefix of, one below a file.
pipeline 1,2 > under.tsv
for under in /srv/a /srv/d /srv/link1 '/srv/back\slash' /srv/a/big /sr /srv; do
    for mode in "--du --all-versions" "--du --latest" "-f size"; do
        # shellcheck disable=SC2086 # the mode's words
        expected=$({ "$lstat" $mode "$plain" --under="$under" under.tsv 2> /dev/null; echo "status $?"; } |
            in_order_of "$mode")
        for schema in new old; do
            # shellcheck disable=SC2086
            got=$({ "$lstat" $mode "$plain" --under="$under" --catalog="$(catalog_uri_of "$schema")" \
                --job=1,2 2> /dev/null; echo "status $?"; } | in_order_of "$mode")
            agrees "$mode --under=$under ($schema schema)" "$got" "$expected"
        done
    done
done

# --name, which the engine is asked too where no tree is built: globs of
# each kind, LIKE's wildcards among the name's bytes, a bracket, which the
# engine is not asked, and directories' own rows, whose name is their path's.
for name in 'link?' 'b*' 'back\\slash' 'link_' 'a' 'srv' '[bl]*' '*1'; do
    for mode in "-f size" "--json -f size" "-l"; do
        # shellcheck disable=SC2086 # the mode's words
        expected=$({ "$lstat" $mode --name="$name" under.tsv 2> /dev/null; echo "status $?"; } |
            in_order_of -f)
        # shellcheck disable=SC2086
        got=$({ TZ=UTC "$lstat" $mode --name="$name" --catalog="$uri_old" --job=1,2 2> /dev/null |
            sed -E 's/ [0-9]+ (\/)/ \1/'; echo "status $?"; } | in_order_of -f)
        agrees "$mode --name=$name" "$got" "$expected"
    done
done

# --diff: OLD's selection, then NEW's, each a job or a chain.
for pair in "1 2" "1 1,2" "2 1"; do
    read -r old new <<< "$pair"
    pipeline "$old" > old.tsv
    pipeline "$new" > new.tsv
    for mode in --diff "--diff --latest --summary"; do
        # shellcheck disable=SC2086 # the mode's words
        expected=$({ "$lstat" $mode "$plain" old.tsv new.tsv 2> /dev/null; echo "status $?"; })
        for schema in new old; do
            # shellcheck disable=SC2086
            got=$({ "$lstat" $mode "$plain" --catalog="$(catalog_uri_of "$schema")" --job="$old" --job="$new" \
                2> /dev/null; echo "status $?"; })
            agrees "$mode --job=$old --job=$new ($schema schema)" "$got" "$expected"
        done
    done
done

# --client: a client's good jobs; with --chain those a restore uses (the
# failed job 11 and the running job 14 left out, the running one named);
# --before for an earlier state. Each reads what its jobs given by --job do.
while IFS='|' read -r jobs words; do
    IFS=';' read -r -a selection <<< "$words"
    for mode in "--du --latest" "--du --all-versions" "-f size"; do
        # shellcheck disable=SC2086 # the mode's words
        expected=$({ "$lstat" $mode --catalog="$uri_new" --job="$jobs" 2> /dev/null; echo "status $?"; } |
            in_order_of "$mode")
        # shellcheck disable=SC2086
        got=$({ "$lstat" $mode --catalog="$uri_new" "${selection[@]}" 2> err; echo "status $?"; } |
            in_order_of "$mode")
        agrees "$mode $words" "$got" "$expected"
        if [[ $words != *--before* ]] && ! grep -q "job 14 .*running" err; then
            fail "$words: the running job 14 is not named: $(cat err)"
        fi
    done
    listed=$("$lstat" --jobs --catalog="$uri_old" "${selection[@]}" 2> /dev/null | cut -f 1 | paste -sd ,)
    [ "$listed" = "JobId,$jobs" ] || fail "--jobs $words lists $listed"
done <<'SELECTIONS'
10,12,13,15|--client=c3;--chain
10,12,13,15|--client=c3
10|--client=c3;--chain;--before=2023-11-18 15:06:40
10,12,13,15|--client=c3;--chain;--fileset=Full Set
SELECTIONS

# A job that failed, or is still running, is read as --job says, but the
# answer is not whole: status 1, and a message naming it.
for unfinished in 11 14; do
    status=0
    "$lstat" --du --catalog="$uri_new" --job="10,$unfinished" > /dev/null 2> err || status=$?
    if [ "$status" != 1 ] || ! grep -q "job $unfinished " err; then
        fail "--job=10,$unfinished: status $status, $(cat err)"
    fi
done

# Deleted files: job 5 found /srv/a (a file since job 2) and /srv/d (a
# directory) deleted. --latest and --diff read the chain as the pipeline
# reads it without what lies at or below those paths; --all-versions counts
# the records 0 bytes; -f and --json mark them.
pipeline 1,2 > chain.tsv
grep -v -e $'^/srv/a\t' -e '^/srv/a/' -e '^/srv/d/' chain.tsv > restored.tsv
for mode in "--du --latest" "--ncdu --latest" "--by=kind --latest" "--du --all-versions"; do
    input=restored.tsv
    [[ $mode == *--all-versions* ]] && input=chain.tsv
    # shellcheck disable=SC2086 # the mode's words
    expected=$({ "$lstat" $mode "$plain" "$input" 2> /dev/null; echo "status $?"; } | grep -v '"timestamp"')
    for schema in new old; do
        # shellcheck disable=SC2086
        got=$({ "$lstat" $mode "$plain" --catalog="$(catalog_uri_of "$schema")" --job=1,2,5 2> /dev/null;
            echo "status $?"; } | grep -v '"timestamp"')
        agrees "$mode --job=1,2,5 ($schema schema)" "$got" "$expected"
    done
done
# shellcheck disable=SC2086
expected=$({ "$lstat" --diff --latest "$plain" chain.tsv restored.tsv 2> /dev/null; echo "status $?"; })
got=$({ "$lstat" --diff --latest "$plain" --catalog="$uri_new" --job=1,2 --job=1,2,5 2> /dev/null;
    echo "status $?"; })
agrees "--diff --latest --job=1,2 --job=1,2,5" "$got" "$expected"
jobs_of_rows=$("$lstat" -f jobid,jobtime --catalog="$uri_old" --job=2,1 | cut -f 2,3 | uniq)
[ "$jobs_of_rows" = $'1\t1700000000\n2\t1700086400' ] ||
    fail "-f jobid,jobtime does not give each row its job, in job order: $jobs_of_rows"
deleted=$("$lstat" -f size,mode --catalog="$uri_new" --job=5)
[ "$deleted" = $'/srv/a\tdeleted\tdeleted\n/srv/d\tdeleted\tdeleted' ] ||
    fail "-f does not mark the deleted files: $deleted"
"$lstat" --json --catalog="$uri_new" --job=5 | grep -q '^{"columns":\["/srv/a"\],"deleted":true}$' ||
    fail "--json does not mark the deleted files"

# Several clients: each under a top named after it, its totals its own
# although the clone's devices and inodes (and hard links) are job 1's; a
# Windows client's drives are tops below its own. ncdu's export numbers
# each client's devices, so that ncdu counts no link across clients.
"$lstat" --du --catalog="$uri_new" --job=1,20,21 > together.txt 2> /dev/null
for top in c1:1 clone:20 win:21; do
    alone=$("$lstat" --du --catalog="$uri_new" --job="${top#*:}" 2> /dev/null |
        grep -v $'\ttotal$' | sed -E "s#\t/?#\t${top%:*}/#")
    # The client's top, which its rows alone do not have, left out.
    agrees "--du of client ${top%:*} among three" "$(grep $'\t'"${top%:*}/" together.txt)" "$alone"
done
"$lstat" --ncdu --catalog="$uri_new" --job=1,20,21 | python3 -c '
import json, sys
def devices(entry, found):
    if isinstance(entry, list):
        found.add(entry[0].get("dev"))
        for child in entry[1:]:
            devices(child, found)
tops = json.load(sys.stdin)[3][1:]
found = [set() for top in tops]
for top, seen in zip(tops, found):
    devices(top, seen)
    seen.discard(None)
sys.exit(len(tops) != 3 or any(a & b for a in found for b in found if a is not b))' ||
    fail "--ncdu gives two clients one device, where ncdu would merge their links"

# Monitoring: --du --json and --diff --summary --json hold the figures of
# the lines, the names' real bytes, and the total of several tops.
for selection in 1,2 1,20,21; do
    "$lstat" --du --latest --catalog="$uri_new" --job="$selection" > du.txt
    "$lstat" --du --latest --json --catalog="$uri_new" --job="$selection" > du.json
    python3 - du.txt du.json <<'PY' || fail "--du --json of --job=$selection is not --du's listing"
import json, sys
lines = [line.split("\t") for line in open(sys.argv[1]).read().splitlines()]
document = json.load(open(sys.argv[2]))
listed = [[str(d["bytes"]), d["path"]] for d in document["directories"]]
total = lines.pop()[0] if lines[-1][1] == "total" else lines[-1][0]
sys.exit(listed != [[size, path.replace("\\\\", "\\")] for size, path in lines]
         or str(document["total"]) != total)
PY
done
"$lstat" --diff --summary --catalog="$uri_new" --job=1 --job=1,2,5 --latest > summary.txt || true
"$lstat" --diff --summary --json --catalog="$uri_new" --job=1 --job=1,2,5 --latest > summary.json || true
python3 - summary.txt summary.json <<'PY' || fail "--diff --summary --json holds other figures than --summary"
import json, sys
names = {"+": "added", "-": "removed", "T": "type", "M": "modified", "U": "attributes"}
lines = [line.split("\t") for line in open(sys.argv[1]).read().splitlines()]
document = json.load(open(sys.argv[2]))
sys.exit({names[s]: {"paths": int(p), "delta": int(d)} for s, p, d in lines} != document)
PY

# Every byte of a name comes through: --json gives back each name's bytes.
for schema in new old; do
    "$lstat" --json -f size --catalog="$(catalog_uri_of "$schema")" --job=1 > names.json
    python3 - names.json <<'PY' || fail "a name's bytes do not come through ($schema schema)"
import json, sys
names = {json.loads(line)["columns"][0].encode("utf-8", "surrogateescape")
         for line in open(sys.argv[1])}
every = b"/srv/z" + bytes(b for b in range(1, 256) if b != ord("/"))
sys.exit(not {b"/srv/ztab\there", b"/srv/zlf\nhere", b"/srv/back\\slash", every} <= names)
PY
done

