#!/usr/bin/env python3
"""Mutation testing for a CMake/ctest C++ project: how many small faults planted in src/ does the
test suite catch?

  mutate.py PROJECT [--count N] [--seed S] [--work DIR] [--budget SECONDS] [--list] [--configure ARGS]
            [--only REGEX] [--ops REGEX]

Clones the committed HEAD of PROJECT (a git checkout) into WORK (default /tmp/mutate-HEAD),
configures one Debug build with the tests (dynamic ICU, so that relinking is quick and the debug
assertions run; --configure replaces those cmake arguments), then for each sampled mutant: changes
one line of one file under src/, rebuilds, runs ctest (stop on the first failure), restores the line.
A mutant that does not compile is dropped; one that leaves every object file as it was is not
counted either (its line is not compiled into this build, e.g. another system's branch, or it
compiles to the same code); one that makes a test fail or time out is killed; the rest survive.
Prints one line per mutant and the score killed / (killed + survived) last.
Sampling is deterministic for a given seed and source tree, so two versions of the tests can be
compared on the same mutants (same source, same seed)."""
import argparse, hashlib, os, random, re, shutil, signal, subprocess, sys, time

# (name, pattern, replacement). Patterns are applied to code with strings and comments blanked out.
OPERATORS = [
    ('lt->le', r'(?<=\s)<(?=\s)', '<='),
    ('le->lt', r'<=', '<'),
    ('gt->ge', r'(?<=\s)>(?=\s)', '>='),
    ('ge->gt', r'>=', '>'),
    ('eq->ne', r'==', '!='),
    ('ne->eq', r'!=', '=='),
    ('and->or', r'&&', '||'),
    ('or->and', r'\|\|', '&&'),
    ('true->false', r'\btrue\b', 'false'),
    ('false->true', r'\bfalse\b', 'true'),
    ('not-dropped', r'(?<=\()!(?!=)', ''),
    ('plus->minus', r'(?<=\s)\+(?=\s)', '-'),
    ('minus->plus', r'(?<=\s)-(?=\s)', '+'),
    ('inc->dec', r'\+\+', '--'),
    ('int+1', r'(?<![\w.])([0-9]+)(?![\w.])', None),   # n -> n + 1
    ('int-1', r'(?<![\w.])([1-9][0-9]*)(?![\w.])', None),  # n -> n - 1
    ('continue->break', r'\bcontinue;', 'break;'),
    ('break->continue', r'\bbreak;', 'continue;'),
    ('stmt-deleted', r'^(\s*)([A-Za-z_][\w:.>\-]*\(.*\);)\s*$', None),
    ('return-true', r'\breturn\s+([^;]+);', 'return true;'),
    # A call whose result is checked against 0 or -1 (the C library's and the kernel's way of
    # saying it failed) is skipped and reported as done: fsync, fchmod, renameat... not made.
    ('call-skipped', r'(?<![\w.>:])(?:::)?[a-z_]\w*\((?:[^()]|\([^()]*\))*\)(?=\s*(?:!=|==|<|>=)\s*-?[01]\b)', '0'),
]

def blank_strings_and_comments(line):
    """Same length as line; string/char literals and // comments replaced by spaces."""
    out, i, n = [], 0, len(line)
    while i < n:
        c = line[i]
        if c == '/' and i + 1 < n and line[i + 1] == '/':
            out.append(' ' * (n - i)); break
        if c in '"\'':
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == '\\' else 1
            out.append(c + ' ' * (min(j, n) - i - 1) + (c if j < n else '')); i = j + 1; continue
        out.append(c); i += 1
    return ''.join(out)[:n]

def candidates(src_root):
    muts = []
    for dirpath, _, files in os.walk(src_root):
        for f in sorted(files):
            if not f.endswith(('.cpp', '.hpp', '.h', '.cc')): continue
            path = os.path.join(dirpath, f)
            in_block = False
            for no, line in enumerate(open(path, encoding='utf-8', errors='replace').read().split('\n'), 1):
                s = line.strip()
                if in_block:
                    if '*/' in s: in_block = False
                    continue
                if s.startswith('/*'):
                    in_block = '*/' not in s; continue
                if not s or s.startswith(('//', '#', '*')) or 'assert' in s or 'static_assert' in s: continue
                code = blank_strings_and_comments(line)
                for name, pat, rep in OPERATORS:
                    for m in re.finditer(pat, code, re.M):
                        if name == 'stmt-deleted':
                            keyword = r'\s*(return|if|for|while|switch|case|else|using|typedef|const|auto|static)\b'
                            if re.match(keyword, line): continue
                            new = line[:m.start(2)] + ';' + ' ' * 0
                        elif name == 'int+1':
                            new = line[:m.start(1)] + str(int(m.group(1)) + 1) + line[m.end(1):]
                        elif name == 'int-1':
                            new = line[:m.start(1)] + str(int(m.group(1)) - 1) + line[m.end(1):]
                        else:
                            new = line[:m.start()] + rep + line[m.end():]
                        if new != line:
                            muts.append((os.path.relpath(path, os.path.dirname(src_root)), no, name, line, new))
    return muts

def sh(cmd, cwd, timeout):
    # Its own process group, killed afterwards: a mutant that loops forever must not outlive the
    # test that timed out on it.
    # A mutant that loses a descriptor's number acts on descriptor 0: the suite gets a stdin of its
    # own, so that a run as root changes the mode or owner of this file, not those of /dev/null.
    with open(os.path.join(cwd, 'stdin'), 'a+') as stdin:
        p = subprocess.Popen(cmd, cwd=cwd, shell=True, stdin=stdin, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True, start_new_session=True)
    try:
        out, _ = p.communicate(timeout=timeout); rc = p.returncode
    except subprocess.TimeoutExpired:
        out, rc = 'timeout', 124
    try:
        os.killpg(p.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    p.wait()
    return rc, out or ''

def reap(work):
    """Kill what still runs a program built in WORK (a test's child that the test runner's
    timeout left behind)."""
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            if os.readlink('/proc/%s/exe' % pid).startswith(os.path.realpath(work) + '/'):
                os.kill(int(pid), signal.SIGKILL)
        except OSError:
            pass

def objects(build):
    """Digest of every object file under BUILD, by path."""
    digests = {}
    for dirpath, _, files in os.walk(build):
        for f in files:
            if f.endswith(('.o', '.obj')):
                path = os.path.join(dirpath, f)
                with open(path, 'rb') as fh:
                    digests[path] = hashlib.sha256(fh.read()).hexdigest()
    return digests

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('project'); ap.add_argument('--count', type=int, default=60)
    ap.add_argument('--seed', type=int, default=1); ap.add_argument('--work', default='')
    ap.add_argument('--budget', type=float, default=3600); ap.add_argument('--list', action='store_true')
    ap.add_argument('--only', default='', help='keep only mutants whose "path:line" matches, '
                    'e.g. "src/system/flush.cpp:4[0-9]$" to try again what survived there')
    ap.add_argument('--ops', default='', help='keep only mutants whose operator name matches, '
                    'e.g. "call-skipped" for every checked call that is skipped and reported as done')
    ap.add_argument('--tests', default='', help='extra ctest arguments, e.g. -E "package|install"')
    ap.add_argument('--configure', default='-DCMAKE_BUILD_TYPE=Debug -DNOTE2MD_STATIC=OFF -DNOTE2MD_TESTS=ON')
    a = ap.parse_args()
    head = subprocess.run(['git', '-C', a.project, 'rev-parse', '--short', 'HEAD'],
                          capture_output=True, text=True).stdout.strip()
    a.work = a.work or '/tmp/mutate-' + head
    src = os.path.join(a.work, 'src')
    if not os.path.isdir(src):
        os.makedirs(a.work, exist_ok=True)
        subprocess.run(['git', 'clone', '-q', a.project, src], check=True)
    # A run that was killed mid-mutant leaves its mutant in the clone: start from the commit.
    subprocess.run(['git', '-C', src, 'checkout', '-q', '--', '.'], check=True)
    muts = candidates(os.path.join(src, 'src'))
    rng = random.Random(a.seed); rng.shuffle(muts)
    if a.only:
        muts = [m for m in muts if re.search(a.only, '%s:%d' % (m[0], m[1]))]
    if a.ops:
        muts = [m for m in muts if re.search(a.ops, m[2])]
    muts = muts[:a.count]
    if a.list:
        for m in muts: print('%s:%d %s: %s' % (m[0], m[1], m[2], m[4].strip()))
        return
    build = os.path.join(a.work, 'build')
    if not os.path.isfile(os.path.join(build, 'build.ninja')):
        rc, out = sh('cmake -S src -B build -G Ninja ' + a.configure, a.work, 600)
        if rc: print(out[-2000:]); sys.exit('configure failed')
    rc, out = sh('cmake --build build -j2', a.work, 1800)
    if rc: print(out[-2000:]); sys.exit('baseline build failed')
    ctest = 'ctest --test-dir build --stop-on-failure -j2 --timeout 120 %s' % a.tests
    rc, out = sh(ctest, a.work, 900)
    if rc: print(out[-2000:]); sys.exit('baseline tests fail: fix that first')
    baseline = objects(build)
    killed = survived = invalid = unbuilt = 0; start = time.time(); survivors = []
    for rel, no, name, old, new in muts:
        if time.time() - start > a.budget: print('budget spent'); break
        path = os.path.join(src, rel)
        lines = open(path, encoding='utf-8').read().split('\n')
        assert lines[no - 1] == old
        lines[no - 1] = new; open(path, 'w', encoding='utf-8').write('\n'.join(lines))
        try:
            rc, out = sh('cmake --build build -j2', a.work, 900)
            if rc:
                invalid += 1; verdict = 'invalid'
            elif objects(build) == baseline:
                unbuilt += 1; verdict = 'unbuilt'
            else:
                rc, out = sh(ctest, a.work, 900); reap(a.work)
                if rc: killed += 1; verdict = 'killed'
                else: survived += 1; verdict = 'SURVIVED'; survivors.append((rel, no, name, new.strip()))
        finally:
            lines[no - 1] = old; open(path, 'w', encoding='utf-8').write('\n'.join(lines))
        print('%-8s %s:%d %s: %s' % (verdict, rel, no, name, new.strip()[:110]), flush=True)
    sh('cmake --build build -j2', a.work, 1800)
    total = killed + survived
    print('mutants %d: killed %d, survived %d, not compiling %d, not compiled in %d; score %.1f%% (%.0f s)'
          % (total + invalid + unbuilt, killed, survived, invalid, unbuilt,
             100.0 * killed / max(total, 1), time.time() - start))

if __name__ == '__main__':
    main()
