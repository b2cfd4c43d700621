#!/usr/bin/env bash
# pelorin at the largest inputs its tables allow, run by hand (not in CI).
#
# usage: [TMPDIR=dir] [RUNS=n] bench/run.sh [path/to/pelorin]   (default: build/pelorin)
#
# Generates its inputs in a temporary directory (removed at the end), times
# every row RUNS times (default 5) on one CPU (BENCH_CPU, default the last one)
# and prints a Markdown table of the best wall and CPU (user + system) seconds,
# each row beside the reference it is judged against, then the peak memory (max
# RSS) of every row for the 16 MiB input and for its 1 MiB version. On a busy
# machine the CPU figures are the steadier.
#
# Inputs:
# - big.bin / small.bin: 16 MiB / 1 MiB raw image, the code part of the bundled
#   sample firmware (everything below its first data symbol) repeated, the j
#   and jal of each copy moved along with it (thousands of call targets);
# - big.map: 30000 entries (the symbol table's capacity) at addresses inside
#   the 16 MiB image: the firmware's function names once per copy
#   ("uart_init_c12"), some with a comment, every 25th an '@' data name (its
#   function is listed as data lines), comment-only entries, '#' comment lines
#   and trailing '#' comments. The 1 MiB run uses the same map (most of its
#   entries then lie past the range);
# - big.o: a MIPS ELF object of 4.4 MiB of code (10000 functions), 20000
#   symbols and 50000 relocations (CALL16, GOT16), assembled by
#   mips-linux-gnu-as from generated source; small.o: the same counts of
#   symbols and relocations in 1.0 MiB of code;
# - libc.so, libc.img, libc.map: Debian's little-endian MIPS libc.so.6, and
#   its memory as a raw image with the names -E gives it as a map;
# - big.elf / small.elf: a big-endian MIPS ELF executable whose one segment
#   holds big.bin / small.bin at 0x80000000 and whose .symtab holds big.map's
#   plain code names (inside the image) as functions, written by perl;
#   exec.map: the same names as a map.
#
# References: GNU objdump (-D -b binary -m mips -EB) on the same bytes for the
# listing; the plain listing for the map and for the listing with the Release 2
# table (-R2); the text listing written to a file
# in the same directory for the page set (creating 10000 files costs what the
# file system asks: TMPDIR=/dev/shm shows the program's own share); objdump
# -d -r for the object; the image with exec.map (-m exec.map -o 80000000 -a
# 80000000 -NO big.bin) for the executable (-E big.elf); for -X (calls
# through registers, callers and references) and -C (the call-site report)
# the same listing without them: the image with big.map, and -E libc.so.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
pelorin=$(realpath "${1:-$root/build/pelorin}")
runs=${RUNS:-5}
sample=$root/examples/firmware.bin
sample_map=$root/examples/firmware.map
[ -x "$pelorin" ] || { echo "no program $pelorin (build it first)" >&2; exit 2; }

need_apt=()
command -v mips-linux-gnu-objdump >/dev/null || need_apt+=(binutils-mips-linux-gnu)
[ -e /usr/mipsel-linux-gnu/lib/libc.so.6 ] || need_apt+=(libc6-mipsel-cross)
[ -x /usr/bin/time ] || need_apt+=(time)
command -v perl >/dev/null || need_apt+=(perl)
if [ ${#need_apt[@]} -gt 0 ]; then
    apt-get update -qq && apt-get install -y -qq "${need_apt[@]}" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# ---- inputs ----------------------------------------------------------------

first_data=$(awk '$2 ~ /^@/ { print $1 }' "$sample_map" | sort | head -n 1)
code_bytes=$(((0x$first_data - 0x80000000) & ~3))
head -c "$code_bytes" "$sample" >code.bin
# Each copy's j and jal into the code are moved along with it, so that the
# calls spread over the whole image (thousands of call targets) as in one
# large program.
make_image() { # size_in_MiB output
    local bytes=$(($1 * 1024 * 1024))
    perl -e '
        my ($bytes, $size) = @ARGV[1, 2];
        open(my $in, "<:raw", $ARGV[0]) or die; local $/; my $code = <$in>;
        my @words = unpack("N*", $code);
        my $out = "";
        for (my $copy = 0; length($out) < $bytes; ++$copy) {
            for my $word (@words) {
                my $w = $word;
                my $target = 0x80000000 | ($w & 0x03ffffff) << 2;
                $w += $copy * $size / 4
                    if ($w >> 27) == 1 && $target >= 0x80000000 && $target < 0x80000000 + $size;
                $out .= pack("N", $w);
            }
        }
        print substr($out, 0, $bytes);' code.bin "$bytes" "$code_bytes" >"$2"
}
make_image 16 big.bin
make_image 1 small.bin

# The map: named entries spread evenly over all (copy, function) pairs that
# lie in the image, then comment-only entries up to 30000.
awk -v code="$code_bytes" -v limit=$((16 * 1024 * 1024)) -v first="$first_data" '
    function hex(s,    v, i) { v = 0; for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1; return v }
    # (Addresses are written as 0x80000000 + offset: some awks print numbers
    # past 2^31 wrongly.)
    function addr_text(a) { return sprintf("80%06x", a - 2147483648) }
    BEGIN { n = 0 }
    $1 !~ /^#/ && $2 != "//" && $2 !~ /^@/ && $1 < first { addr[n] = hex($1); name[n] = $2; n++ }
    END {
        copies = int(limit / code) + 1
        for (c = 0; c < copies; c++)
            for (i = 0; i < n; i++)
                if (addr[i] - 2147483648 + c * code < limit) total++
        want = 30000 - 1000 # named entries; the rest are comment-only
        print "# bench map: " want " names, 1000 comment-only entries"
        g = 0; named = 0
        for (c = 0; c < copies; c++) {
            if (c % 16 == 0) printf "# copy %d of the firmware\n", c
            for (i = 0; i < n; i++) {
                a = addr[i] + c * code
                if (a - 2147483648 >= limit) continue
                take = int((g + 1) * want / total) > int(g * want / total)
                g++
                if (!take) continue
                named++
                prefix = named % 25 == 0 ? "@" : ""
                if (named % 4 == 0)
                    printf "%s %s%s_c%d entry of copy %d  # not shown\n", addr_text(a), prefix, name[i], c, c
                else
                    printf "%s %s%s_c%d\n", addr_text(a), prefix, name[i], c
                if (named % 28 == 0 && comments < 1000)
                    printf "%s // note %d on %s\n", addr_text(a + 8), ++comments, name[i]
            }
        }
        for (; comments < 1000; comments++) printf "%s // note %d\n", addr_text(2147483648 + 4 * comments), comments
    }' "$sample_map" >big.map
# -x runs: the first name of copy 200, and its address for the run without map.
read -r x_address x_start < <(awk '$2 ~ /^[a-z_0-9]+_c200$/ { print $1, $2; exit }' big.map)
# -C runs: two functions of the map (printf of copy 200, called from some 80
# places, and strlen of copy 300, from a few) and a name that never occurs.
call_names=printf_c200,strlen_c300,no_such_function
for name in printf_c200 strlen_c300; do
    awk -v n="$name" '$2 == n { found = 1 } END { exit !found }' big.map ||
        { echo "big.map has no $name" >&2; exit 1; }
done

# The object: f functions of one frame each, c calls through $t9 (CALL16)
# with fill groups of arithmetic after each, g loads of globals (GOT16); the
# v globals alternate between .data and .bss.
make_object() { # f v c g fill output
    awk -v f="$1" -v v="$2" -v c="$3" -v g="$4" -v fill="$5" 'BEGIN {
        print "\t.abicalls\n\t.set noreorder\n\t.set nomacro\n\t.text"
        for (i = 0; i < f; i++) {
            printf "\t.globl fn_%d\n\t.type fn_%d, @function\n\t.ent fn_%d\nfn_%d:\n", i, i, i, i
            print "\taddiu $sp, $sp, -40\n\tsw $ra, 36($sp)\n\tsw $s0, 32($sp)\n\tsw $s1, 28($sp)"
            print "\tmove $s0, $a0\n\tmove $s1, $a1"
            for (k = 0; k < c; k++) {
                printf "\tlw $t9, %%call16(fn_%d)($gp)\n\tmove $a0, $s0\n", (i * 7 + k * 13 + 1) % f
                printf "\tjalr $t9\n\taddiu $a1, $s1, %d\n", k + 1
                for (j = 0; j < fill; j++)
                    printf "\taddu $s0, $s0, $v0\n\tsll $v1, $s0, %d\n\txor $s1, $s1, $v1\n\tsltu $t0, $s1, $s0\n", j + 1
            }
            for (k = 0; k < g; k++) {
                printf "\tlw $t1, %%got(var_%d)($gp)\n\tlw $t2, 0($t1)\n", (i * 3 + k * 5) % v
                print "\taddu $s0, $s0, $t2\n\tsw $s0, 4($t1)"
            }
            print "\tmove $v0, $s0\n\tlw $s1, 28($sp)\n\tlw $s0, 32($sp)\n\tlw $ra, 36($sp)"
            print "\tjr $ra\n\taddiu $sp, $sp, 40"
            printf "\t.end fn_%d\n\t.size fn_%d, .-fn_%d\n", i, i, i
        }
        for (s = 0; s < 2; s++) {
            print s == 0 ? "\t.data" : "\t.bss"
            for (i = s; i < v; i += 2) {
                printf "\t.globl var_%d\n\t.type var_%d, @object\n\t.size var_%d, 8\nvar_%d:\n", i, i, i, i
                print s == 0 ? "\t.word " i ", 0" : "\t.space 8"
            }
        }
    }' >"$6.s"
    mips-linux-gnu-as -EB -mabi=32 -KPIC "$6.s" -o "$6"
}
make_object 10000 10000 3 2 7 big.o
make_object 6250 13750 5 3 0 small.o

# The executable: the image as the one PT_LOAD segment of a big-endian MIPS
# ELF executable at 0x80000000, with the plain code names of big.map (no '@'
# names, no comment-only entries) as STT_FUNC symbols, each up to the next
# one, in its .symtab; exec.map holds the same names for the reference run.
# Written directly: ELF header, program header, .text, .symtab, .strtab,
# .shstrtab, section headers. small.elf: the names inside its 1 MiB.
awk '$1 !~ /^#/ && $2 != "//" && $2 !~ /^@/ { print $1, $2 }' big.map >exec.map
make_elf() { # image output
    perl -e '
        my ($image, $map) = @ARGV;
        open(my $in, "<:raw", $image) or die; my $code = do { local $/; <$in> };
        my ($base, $text_at) = (0x80000000, 0x1000);
        my $end = $base + length($code);
        open($in, "<", $map) or die;
        my @syms = sort { $a->[0] <=> $b->[0] } grep { $_->[0] < $end }
            map { my @f = split; [hex($f[0]), $f[1]] } <$in>;
        my ($symtab, $strtab) = ("\0" x 16, "\0");
        for my $i (0 .. $#syms) {
            my $next = $i < $#syms ? $syms[$i + 1][0] : $end;
            # st_name st_value st_size st_info (global, function) st_other st_shndx (.text)
            $symtab .= pack("NNNCCn", length($strtab), $syms[$i][0], $next - $syms[$i][0], 0x12, 0, 1);
            $strtab .= "$syms[$i][1]\0";
        }
        my $shstrtab = "\0.text\0.symtab\0.strtab\0.shstrtab\0";
        my $sym_at = $text_at + length($code);
        my $str_at = $sym_at + length($symtab);
        my $shstr_at = $str_at + length($strtab);
        my $sh_at = ($shstr_at + length($shstrtab) + 3) & ~3;
        # ELF32, big-endian; ET_EXEC, EM_MIPS, entry, e_phoff, e_shoff, e_flags
        # (noreorder, o32, mips32), sizes and counts, e_shstrndx
        my $out = "\x7fELF" . pack("CCC", 1, 2, 1) . "\0" x 9
            . pack("nnNNNNNnnnnnn", 2, 8, 1, $base, 52, $sh_at, 0x50001001, 52, 32, 1, 40, 5, 4)
            . pack("N8", 1, $text_at, $base, $base, length($code), length($code), 5, 0x1000); # PT_LOAD, R E
        $out .= "\0" x ($text_at - length($out)) . $code . $symtab . $strtab . $shstrtab;
        $out .= "\0" x ($sh_at - length($out));
        # sh_name sh_type sh_flags sh_addr sh_offset sh_size sh_link sh_info sh_addralign sh_entsize
        $out .= pack("N10", (0) x 10)
            . pack("N10", 1, 1, 6, $base, $text_at, length($code), 0, 0, 16, 0)
            . pack("N10", 7, 2, 0, 0, $sym_at, length($symtab), 3, 1, 4, 16)
            . pack("N10", 15, 3, 0, 0, $str_at, length($strtab), 0, 0, 1, 0)
            . pack("N10", 23, 3, 0, 0, $shstr_at, length($shstrtab), 0, 0, 1, 0);
        print $out;' "$1" exec.map >"$2"
}
make_elf big.bin big.elf
make_elf small.bin small.elf

# A shared library as a distribution ships it: Debian's little-endian MIPS C
# library (1.5 MiB of code). Its reference is the same memory as a raw image
# from 0 (the loadable segments at their addresses, zeros between), listed
# with the names that -E gives it as a map and with its $gp.
cp "$(readlink -f /usr/mipsel-linux-gnu/lib/libc.so.6)" libc.so
perl -e '
    open(my $in, "<:raw", $ARGV[0]) or die; my $f = do { local $/; <$in> };
    my ($phoff, $phnum) = (unpack("V", substr($f, 28, 4)), unpack("v", substr($f, 44, 2)));
    my $image = "";
    for my $i (0 .. $phnum - 1) {
        my ($type, $offset, $address, undef, $filesz, $memsz) = unpack("V6", substr($f, $phoff + 32 * $i, 24));
        next unless $type == 1;
        $image .= "\0" x ($address + $memsz - length($image)) if length($image) < $address + $memsz;
        substr($image, $address, $filesz) = substr($f, $offset, $filesz);
    }
    print $image;' libc.so >libc.img
"$pelorin" -E libc.so | perl -ne '
    if (/^([^\t].*):$/) { my $n = $1; $n =~ s/^\}\{//; push @names, $n; next }
    if (/^\t([0-9a-f]{8}):/) { print "$1 $_\n" for @names; }
    @names = ();' >libc.map
libc_gp=$(mips-linux-gnu-readelf -A libc.so | awk '/Canonical gp value/ { print $NF }')

# ---- measuring -------------------------------------------------------------

# once key output command...: runs the command once with its standard output
# into the file output (/dev/null, or removed before the run) and keeps, under
# key, the lowest wall and CPU seconds and the highest peak RSS in KiB so far.
# Times come from the shell (milliseconds), the peak RSS from /usr/bin/time.
declare -A W C M
once() {
    local key=$1 out=$2 tw tu ts tm TIMEFORMAT='%3R %3U %3S'
    shift 2
    [ "$out" = /dev/null ] || rm -f "$out"
    rm -rf html index.htm && mkdir html
    { time "${pin[@]}" /usr/bin/time -f '%M' -o rss.txt "$@" >"$out" 2>err.txt; } 2>time.txt ||
        { echo "failed: $*" >&2; cat err.txt >&2; exit 1; }
    read -r tw tu ts <time.txt
    read -r tm <rss.txt
    W[$key]=$(awk -v a="${W[$key]:-999999}" -v b="$tw" 'BEGIN { print (b < a ? b : a) }')
    C[$key]=$(awk -v a="${C[$key]:-999999}" -v u="$tu" -v s="$ts" 'BEGIN { printf "%.3f", (u + s < a ? u + s : a) }')
    M[$key]=$((tm > ${M[$key]:-0} ? tm : ${M[$key]:-0}))
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
rate() { awk -v a="$1" -v s="$2" 'BEGIN { printf "%.1f", (s > 0 ? a / s : 0) }'; }
extra() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%+.1f%%", (b > 0 ? 100 * (a - b) / b : 0) }'; }

# Every run on one CPU: the CPUs of a virtual machine may run at very
# different speeds (here one took half as long again as the other), and a
# ratio of two figures means something only when both come from the same one.
pin=()
if command -v taskset >/dev/null; then
    cpu=${BENCH_CPU:-$(($(nproc) - 1))}
    pin=(taskset -c "$cpu")
fi

raw=(-o 80000000 -a 80000000 -NO)
objdump_raw=(mips-linux-gnu-objdump -D -b binary -m mips -EB --adjust-vma=0x80000000)

# A run that lists nothing would read as a fast one: the -X listing of the
# 1 MiB image has at least the lines of the listing without -X.
lines_x=$("$pelorin" -m big.map -X "${raw[@]}" small.bin | wc -l)
lines_plain=$("$pelorin" -m big.map "${raw[@]}" small.bin | wc -l)
[ "$lines_x" -ge "$lines_plain" ] ||
    { echo "-X lists $lines_x lines of the 1 MiB image, without -X $lines_plain" >&2; exit 1; }

# Rounds of one run of every row, rather than all runs of one row after the
# other: a slow spell of the machine then costs each row one run of its RUNS
# and leaves the best of the others, and a row is never judged by runs taken
# in other minutes than its reference's.
for ((round = 0; round < runs; ++round)); do
    once obj /dev/null "${objdump_raw[@]}" big.bin
    once def /dev/null "$pelorin" "${raw[@]}" big.bin
    once all /dev/null "$pelorin" -A "${raw[@]}" big.bin
    once r2 /dev/null "$pelorin" -R2 "${raw[@]}" big.bin
    once map /dev/null "$pelorin" -m big.map "${raw[@]}" big.bin
    once mapc /dev/null "$pelorin" -m big.map -c "${raw[@]}" big.bin
    once xr /dev/null "$pelorin" -m big.map -X "${raw[@]}" big.bin
    once xrc /dev/null "$pelorin" -m big.map -X -c "${raw[@]}" big.bin
    once cr /dev/null "$pelorin" -m big.map -C "$call_names" "${raw[@]}" big.bin
    once none /dev/null "$pelorin" -o 80000000 -a "$x_address" -s 40 -NO big.bin
    once x /dev/null "$pelorin" -m big.map -o 80000000 -a "$x_start" -x -NO big.bin
    once emap /dev/null "$pelorin" -m exec.map "${raw[@]}" big.bin
    once elf /dev/null "$pelorin" -E big.elf
    once txt text.lst "$pelorin" -A "${raw[@]}" big.bin
    once htm /dev/null "$pelorin" -h html -n 50 -A "${raw[@]}" big.bin
    once od /dev/null mips-linux-gnu-objdump -d -r big.o
    once o /dev/null "$pelorin" big.o
    once lod /dev/null mips-linux-gnu-objdump -d libc.so
    once lib /dev/null "$pelorin" -E -c libc.so
    once lnc /dev/null "$pelorin" -E libc.so
    once lxr /dev/null "$pelorin" -E -X -c libc.so
    once lcr /dev/null "$pelorin" -E -C system,popen,execve libc.so
    once limg /dev/null "$pelorin" -m libc.map -GP "$libc_gp" -c -LE -o 0 -a 0 -NO libc.img
    # The 1 MiB versions, for their peak memory.
    once s_def /dev/null "$pelorin" "${raw[@]}" small.bin
    once s_all /dev/null "$pelorin" -A "${raw[@]}" small.bin
    once s_r2 /dev/null "$pelorin" -R2 "${raw[@]}" small.bin
    once s_map /dev/null "$pelorin" -m big.map "${raw[@]}" small.bin
    once s_mapc /dev/null "$pelorin" -m big.map -c "${raw[@]}" small.bin
    once s_xr /dev/null "$pelorin" -m big.map -X "${raw[@]}" small.bin
    once s_xrc /dev/null "$pelorin" -m big.map -X -c "${raw[@]}" small.bin
    once s_cr /dev/null "$pelorin" -m big.map -C "$call_names" "${raw[@]}" small.bin
    once s_x /dev/null "$pelorin" -m big.map -o 80000000 -a "$x_start" -x -NO small.bin
    once s_elf /dev/null "$pelorin" -E small.elf
    once s_htm /dev/null "$pelorin" -h html -n 50 -A "${raw[@]}" small.bin
    once s_o /dev/null "$pelorin" small.o
done
# The page set of the last run is that of the 1 MiB image: once more for the
# 16 MiB one, to count its pages and call targets.
rm -rf html index.htm && mkdir html
"${pin[@]}" "$pelorin" -h html -n 50 -A "${raw[@]}" big.bin >/dev/null 2>&1 || true
pages=$(find html -name '*.htm' | wc -l)
targets=$(awk '/call targets$/ { print $1; exit }' html/calls.htm)
for key in obj def all r2 map mapc xr xrc cr none x emap elf txt htm od o lod lib lnc lxr lcr limg; do
    printf -v "w_$key" '%s' "${W[$key]}"
    printf -v "c_$key" '%s' "${C[$key]}"
    printf -v "m_$key" '%s' "${M[$key]}"
done
for key in def all r2 map mapc xr xrc cr x elf htm o; do printf -v "s_$key" '%s' "${M[s_$key]}"; done

text_mib() { mips-linux-gnu-objdump -h "$1" | awk '$2 == ".text" { print $3 }' |
    while read -r size; do awk -v b=$((0x$size)) 'BEGIN { printf "%.1f", b / 1048576 }'; done; }
big_code=$(text_mib big.o)
small_code=$(text_mib small.o)
relocs=$(mips-linux-gnu-readelf -r big.o | grep -c 'R_MIPS_\(CALL16\|GOT16\)' || true)
symbols=$(mips-linux-gnu-readelf -s big.o | grep -c 'fn_\|var_' || true)
map_lines=$(wc -l <big.map)
elf_names=$(wc -l <exec.map)

row() { # name wall cpu reference ref_wall ref_cpu figure target rss_small rss_big
    printf '| %s | %s / %s | %s | %s / %s | %s | %s | %s / %s | %s |\n' "$1" "$2" "$3" "$4" "$5" "$6" \
        "$7" "$8" "$9" "${10}" "$(extra "${10}" "$9")"
}
echo "pelorin [$( ("$pelorin" 2>&1 || true) | sed -n 's/.*# //p' | head -n 1)]; $(nproc) CPUs," \
    "$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo); ${pin[*]:-no taskset}; best of $runs rounds; seconds wall / CPU"
echo
echo '| row (16 MiB input) | pelorin s | reference | reference s | figure (CPU) | target | max RSS KiB 1 MiB / 16 MiB | growth |'
echo '|---|---|---|---|---|---|---|---|'
row "text listing, default options" "$w_def" "$c_def" "GNU objdump -D" "$w_obj" "$c_obj" \
    "$(rate 16 "$c_def") MiB/s, $(ratio "$c_obj" "$c_def")x objdump" ">= 5x objdump" "$s_def" "$m_def"
row "text listing, -A" "$w_all" "$c_all" "GNU objdump -D" "$w_obj" "$c_obj" \
    "$(rate 16 "$c_all") MiB/s, $(ratio "$c_obj" "$c_all")x objdump" ">= 5x objdump" "$s_all" "$m_all"
row "text listing, -R2 (Release 2 table)" "$w_r2" "$c_r2" "default options" "$w_def" "$c_def" \
    "$(extra "$c_r2" "$c_def")" "<= +5%" "$s_r2" "$m_r2"
row "map of $map_lines lines ($((30000)) entries), whole image" "$w_map" "$c_map" "no map" "$w_def" "$c_def" \
    "$(extra "$c_map" "$c_def")" "< +10%" "$s_map" "$m_map"
row "same map, -c" "$w_mapc" "$c_mapc" "same map" "$w_map" "$c_map" \
    "$(extra "$c_mapc" "$c_map")" "-" "$s_mapc" "$m_mapc"
row "same map, -X (calls through registers, callers)" "$w_xr" "$c_xr" "same map" "$w_map" "$c_map" \
    "$(ratio "$c_xr" "$c_map")x (wall $(ratio "$w_xr" "$w_map")x)" "<= 1.6x" "$s_xr" "$m_xr"
row "same map, -X -c (callers beside the labels)" "$w_xrc" "$c_xrc" "same map, -c" "$w_mapc" "$c_mapc" \
    "$(ratio "$c_xrc" "$c_mapc")x (wall $(ratio "$w_xrc" "$w_mapc")x)" "<= 1.6x" "$s_xrc" "$m_xrc"
row "same map, -C $call_names" "$w_cr" "$c_cr" "same map" "$w_map" "$c_map" \
    "$(ratio "$c_cr" "$c_map")x (wall $(ratio "$w_cr" "$w_map")x)" "<= 0.7x" "$s_cr" "$m_cr"
row "same map, -a $x_start -x (one function)" "$w_x" "$c_x" "no map, -s 40" "$w_none" "$c_none" \
    "$(awk -v a="$c_x" -v b="$c_none" 'BEGIN { printf "%+.0f ms", 1000 * (a - b) }') to load" "small" "$s_x" "$m_x"
row "ELF executable, -E ($elf_names function symbols)" "$w_elf" "$c_elf" "its image, the same names as a map" \
    "$w_emap" "$c_emap" "$(extra "$c_elf" "$c_emap")" "< +10%" "$s_elf" "$m_elf"
row "HTML -h -n 50 -A ($pages files, $targets call targets)" "$w_htm" "$c_htm" \
    "text listing -A into a file" "$w_txt" "$c_txt" "$(ratio "$c_htm" "$c_txt")x (wall $(ratio "$w_htm" "$w_txt")x)" \
    "<= 1.5x" "$s_htm" "$m_htm"
row "object: $big_code MiB code, $symbols symbols, $relocs relocations" "$w_o" "$c_o" "GNU objdump -d -r" \
    "$w_od" "$c_od" "$(ratio "$c_od" "$c_o")x objdump" "time; memory" "$s_o" "$m_o"
lib_code=$(text_mib libc.so)
row "shared library, -E -c libc.so.6 ($lib_code MiB code)" "$w_lib" "$c_lib" "GNU objdump -d" "$w_lod" \
    "$c_lod" "$(ratio "$c_lod" "$c_lib")x objdump" ">= 10x objdump" "-" "$m_lib"
row "shared library, -E -c libc.so.6" "$w_lib" "$c_lib" "its image, the same names as a map, -GP" \
    "$w_limg" "$c_limg" "$(extra "$c_lib" "$c_limg")" "<= +10%" "-" "$m_lib"
row "shared library, -E -X -c libc.so.6" "$w_lxr" "$c_lxr" "-E -c" "$w_lib" "$c_lib" \
    "$(ratio "$c_lxr" "$c_lib")x (wall $(ratio "$w_lxr" "$w_lib")x)" "<= 1.6x" "-" "$m_lxr"
row "shared library, -E -C system,popen,execve" "$w_lcr" "$c_lcr" "-E" "$w_lnc" "$c_lnc" \
    "$(ratio "$c_lcr" "$c_lnc")x (wall $(ratio "$w_lcr" "$w_lnc")x)" "<= 0.7x" "-" "$m_lcr"
echo
echo "1 MiB versions: the first 1 MiB of the image (same map; the executable with the names inside it);"
echo "the object with the same symbols and relocations in $small_code MiB of code. Target: every max RSS"
echo "< 16384 KiB, growth within 10%; under -X and -C apart from the references kept, which grow with"
echo "the range."
