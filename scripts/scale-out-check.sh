#!/usr/bin/env bash
# Runs the recipes of docs/scale-out.md for real on this one Debian 12 machine (as root) and
# compares each with one plain gridcast run over the same workbooks (the shared corpus beside the
# clone, ../shared/corpus, or QUILLANE_CORPUS_DIR):
#   image       the Dockerfile, built and run with podman on a Debian 12 base made by debootstrap
#   slurm       a single-node Slurm cluster runs the job-array recipe as 4 tasks; a killed task is
#               rerun as the recipe says
#   ssh         GNU parallel runs the shares over ssh to sshd on 127.0.0.1 (key login only)
#   kubernetes  on paper: the indexed Job of the doc is valid YAML with the fields it needs
#   packages    lintian on both Debian packages; both installed into a fresh Debian 12 root with
#               apt-get, the examples converted, both removed, nothing left behind
#   bash scripts/scale-out-check.sh [ENGINE...]      (default: all five)
# It installs what it needs, starts and stops every daemon it uses, prints one line per engine and
# exits 0 only when every engine passed. Its files (a cached Debian 12 root, runs, logs) are in
# build/scale-out; each engine's log is build/scale-out/logs/ENGINE.log.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
work=$src/build/scale-out
logs=$work/logs
engines=("$@")
((${#engines[@]})) || engines=(image slurm ssh kubernetes packages)
corpus=$(cd "${QUILLANE_CORPUS_DIR:-$src/../shared/corpus}" 2>/dev/null && pwd) ||
  { echo "no corpus of workbooks at ../shared/corpus (set QUILLANE_CORPUS_DIR)" >&2; exit 2; }
mkdir -p "$logs"

echo "== Set-up and build (log: ${logs#"$src"/}/setup.log)"
{
  bash scripts/setup.sh --scale-out
  bash scripts/setup.sh
  launcher=()
  command -v ccache >/dev/null &&
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  bash scripts/build.sh build/package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLANE_TESTS=OFF \
    -DQUILLANE_BENCH=OFF -DQUILLANE_WITH_QT=ON "${launcher[@]}" -- gridcast quillane
} >"$logs/setup.log" 2>&1 || { tail -20 "$logs/setup.log"; exit 2; }
gridcast=$src/build/package/app/gridcast

# A data folder as the recipes expect it: books/ (the corpus), pages/, logs/.
data_folder() {
  rm -rf "$1" && mkdir -p "$1/pages" "$1/logs" && ln -s "$corpus" "$1/books"
}
# The lines of logs without their times and with the data folder taken out of the paths, sorted.
lines_of() {  # FOLDER LOG...
  local folder=$1; shift
  cat "$@" | tr -d '\r' | sed -e 's/^[^ ]* //' -e "s|$folder/||g" | sort
}
# One plain run, the measure of every engine.
one=$work/one
data_folder "$one"
(cd "$one" && "$gridcast" -s "books/*.xls" -d pages --log logs/one.log >/dev/null) || true
lines_of "$one" "$one/logs/one.log" >"$work/one.lines"
one_summary="$(ls "$one/pages" | wc -l) pages, $(wc -l <"$work/one.lines") lines"

# Whether the run in FOLDER (its pages, and the lines of LOG...) equals the plain run.
same_as_one() {  # FOLDER LOG...
  local folder=$1; shift
  lines_of "$folder" "$@" | diff -u "$work/one.lines" - >&2 || return 1
  diff -r "$one/pages" "$folder/pages" >&2 || return 1
}

# The first fenced block of docs/scale-out.md after the heading HEADING, of the language LANG.
recipe() {  # HEADING LANG
  awk -v heading="$1" -v lang="$2" '
    $0 == heading { found = 1; next }
    found && $0 == "```" lang { inside = 1; next }
    inside && $0 == "```" { exit }
    inside { print }' docs/scale-out.md
}

# The Debian mirror this machine's apt sources name (the first one that is not for security
# updates), so that nothing is fetched from anywhere else.
debian_mirror() {
  { grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
    grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
      sed 's/\[[^]]*\]//' | awk '{print $2}'; } | grep -v security | head -n 1
}

# A Debian 12 root made once by debootstrap and kept (copies of it are the fresh roots).
debian_root() {
  if [[ ! -x $work/bookworm/usr/bin/apt-get ]]; then
    rm -rf "$work/bookworm.tmp"
    debootstrap --variant=minbase bookworm "$work/bookworm.tmp" "$(debian_mirror)"
    mv "$work/bookworm.tmp" "$work/bookworm"
  fi
}

result() { echo "$*" >"$logs/$engine.result"; }

check_image() {
  debian_root
  if ! podman image exists localhost/debian:12; then
    tar -C "$work/bookworm" --exclude='./var/lib/apt/lists/*_*' --exclude='./var/cache/apt/*.bin' \
      --exclude='./var/cache/apt/archives/*.deb' -c . |
      podman import - localhost/debian:12
    podman tag localhost/debian:12 localhost/debian:12-slim
  fi
  local image=localhost/quillane/gridcast:check start=$SECONDS
  podman build --isolation=chroot --pull=never -t "$image" .
  local build_time=$((SECONDS - start))
  local size base
  size=$(($(podman image inspect --format '{{.Size}}' "$image") / 1000000))
  base=$(($(podman image inspect --format '{{.Size}}' localhost/debian:12-slim) / 1000000))
  local run=(podman --runtime runc run --rm --ulimit nofile=1024:1024 --ulimit nproc=1024:1024)
  local uid
  uid=$("${run[@]}" --entrypoint id "$image" -u)
  [[ $uid != 0 ]] || { echo "the image runs as root"; return 1; }
  local display
  display=$("${run[@]}" --entrypoint dpkg-query "$image" -W -f '${Package}\n' |
    grep -E '^(libx11|libxcb|libwayland|libgl|libegl|libqt|qt6)' || true)
  [[ -z $display ]] || { echo "display libraries in the image: $display"; return 1; }
  local folder=$work/image
  data_folder "$folder"
  chmod a+rwx "$folder/pages" "$folder/logs"
  rm "$folder/books"
  start=$SECONDS
  "${run[@]}" -v "$corpus:/data/books:ro" -v "$folder/pages:/data/pages" \
    -v "$folder/logs:/data/logs" "$image" -s "books/*.xls" -d pages --log logs/run.log || true
  local run_time=$((SECONDS - start))
  ln -s "$corpus" "$folder/books"
  sed -i 's|/data/|'"$folder"'/|g' "$folder/logs/run.log"
  same_as_one "$folder" "$folder/logs/run.log"
  result "build ${build_time}s, image ${size} MB (base ${base} MB), runs as uid $uid without display libraries," \
    "corpus in ${run_time}s equal to one run ($one_summary)"
}

# Waits until the Slurm job JOB has left the queue.
wait_for_job() {
  local i
  for ((i = 0; i < 600; i++)); do
    [[ -z $(squeue -h -j "$1" 2>/dev/null) ]] && return 0
    sleep 1
  done
  echo "job $1 still queued after 600 s"; return 1
}
# "TASK EXIT" per array task of JOB (EXIT as Slurm gives it: status:signal).
task_exits() {
  scontrol -o show job "$1" | sed -n 's/.*ArrayTaskId=\([0-9]*\) .* ExitCode=\([0-9:]*\) .*/\1 \2/p' |
    sort -n
}

check_slurm() {
  # Not local: the trap that stops the daemons reads them when the subshell ends.
  dir=$work/slurm started_munge=""
  local host
  host=$(hostname -s)
  rm -rf "$dir" && mkdir -p "$dir/state" "$dir/spool" "$dir/shim"
  export SLURM_CONF=$dir/slurm.conf
  cat >"$SLURM_CONF" <<EOF
ClusterName=scaleoutcheck
SlurmctldHost=$host
SlurmctldPort=16817
SlurmdPort=16818
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
MinJobAge=3600
ReturnToService=2
NodeName=$host CPUs=2 RealMemory=$(($(free -m | awk '/^Mem:/ {print $2}') * 9 / 10)) State=UNKNOWN
PartitionName=check Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
  if ! pgrep -u munge -x munged >/dev/null; then
    mkdir -p /run/munge && chown munge: /run/munge
    [[ -f /etc/munge/munge.key ]] || runuser -u munge -- mungekey --create
    runuser -u munge -- munged
    started_munge=yes
  fi
  stop_slurm() {  # each daemon by its pid file, waiting until it has ended
    local pid_file pid i
    for pid_file in "$dir/slurmd.pid" "$dir/slurmctld.pid" ${started_munge:+/run/munge/munged.pid}; do
      [[ -f $pid_file ]] || continue
      pid=$(cat "$pid_file")
      kill "$pid" 2>/dev/null || continue
      for ((i = 0; i < 100; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
    done
  }
  trap stop_slurm EXIT
  slurmctld && slurmd
  local i
  for ((i = 0; i < 60; i++)); do
    [[ $(sinfo -h -o %T 2>/dev/null) == idle ]] && break
    sleep 1
  done
  sinfo
  # The recipe of the doc with its data folder and 4 tasks; a first attempt of task 3 is killed
  # as a lost node would be (a stand-in gridcast first on the PATH).
  local folder=$work/slurm-data
  data_folder "$folder"
  recipe "## Slurm job array" sh | sed -e "s|/srv/data|$folder|" -e 's|16|4|g' >"$folder/convert.sh"
  cat "$folder/convert.sh"
  cat >"$dir/shim/gridcast" <<EOF
#!/bin/sh
if [ "\$SLURM_ARRAY_TASK_ID" = 3 ] && [ ! -e "$dir/task-3-killed" ]; then
  touch "$dir/task-3-killed"; kill -9 \$\$
fi
exec "$gridcast" "\$@"
EOF
  chmod +x "$dir/shim/gridcast"
  export PATH=$dir/shim:$PATH
  local start=$SECONDS job rerun
  job=$(cd "$folder" && sbatch --parsable convert.sh)
  wait_for_job "$job"
  task_exits "$job" | tee "$dir/exits"
  [[ $(wc -l <"$dir/exits") == 4 ]] || { echo "not 4 tasks"; return 1; }
  # Exit 0 and 1 are final (1: some workbook failed, a rerun fails alike); others are rerun.
  local failed
  failed=$(awk '$2 != "0:0" && $2 != "1:0" {print $1}' "$dir/exits" | paste -sd,)
  [[ $failed == 3 ]] || { echo "expected task 3 to fail, failed: '$failed'"; return 1; }
  rerun=$(cd "$folder" && sbatch --parsable --array="$failed" convert.sh)
  wait_for_job "$rerun"
  task_exits "$rerun" | tee "$dir/rerun-exits"
  grep -qE '^3 [01]:0$' "$dir/rerun-exits" || { echo "the rerun of task 3 failed"; return 1; }
  local run_time=$((SECONDS - start))
  same_as_one "$folder" "$folder"/logs/shard-*.log
  result "4 tasks (task 3 killed, rerun with sbatch --array=3) in ${run_time}s," \
    "equal to one run ($one_summary)"
}

check_ssh() {
  local dir=$work/ssh port=22022
  rm -rf "$dir" && mkdir -p "$dir" && chmod 700 "$dir"
  ssh-keygen -q -t ed25519 -N '' -C scale-out-check-host -f "$dir/host_key"
  ssh-keygen -q -t ed25519 -N '' -C scale-out-check -f "$dir/client_key"
  cp "$dir/client_key.pub" "$dir/authorized_keys"
  echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$dir/host_key.pub")" >"$dir/known_hosts"
  cat >"$dir/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $port
HostKey $dir/host_key
PidFile $dir/sshd.pid
AuthorizedKeysFile $dir/authorized_keys
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
UsePAM no
AllowUsers root
SetEnv PATH=$(dirname "$gridcast"):/usr/local/bin:/usr/bin:/bin
EOF
  # Two "hosts" that are this machine, seeing the data folder as shared storage.
  cat >"$dir/ssh_config" <<EOF
Host host1 host2
  HostName 127.0.0.1
  Port $port
  User root
  IdentityFile $dir/client_key
  IdentitiesOnly yes
  UserKnownHostsFile $dir/known_hosts
  StrictHostKeyChecking yes
  BatchMode yes
EOF
  mkdir -p /run/sshd
  /usr/sbin/sshd -f "$dir/sshd_config" -E "$dir/sshd.log"
  trap "kill \$(cat '$dir/sshd.pid')" EXIT
  sleep 1
  # The server offers nothing but the key: no password, no keyboard-interactive login.
  local methods
  methods=$(ssh -v -F "$dir/ssh_config" -o PubkeyAuthentication=no host1 true 2>&1 |
    sed -n 's/.*Authentications that can continue: //p' | head -1 | tr -d '\r ') || true
  [[ $methods == publickey ]] || { echo "sshd offers logins: '$methods'"; return 1; }
  ssh -F "$dir/ssh_config" host1 gridcast --version
  local folder=$work/ssh-data
  data_folder "$folder"
  recipe "## Several machines over ssh (GNU parallel)" sh |
    sed -e "s|/srv/data|$folder|" -e 's|host1,host2,host3|host1,host2|' >"$dir/recipe.sh"
  cat "$dir/recipe.sh"
  local start=$SECONDS
  (cd "$folder" && PARALLEL_SSH="ssh -F $dir/ssh_config" bash "$dir/recipe.sh") || true
  local run_time=$((SECONDS - start))
  [[ $(ls "$folder"/logs/shard-*.log | wc -l) == 6 ]] || { echo "not 6 share logs"; return 1; }
  same_as_one "$folder" "$folder"/logs/shard-*.log
  result "6 shares on 2 ssh logins to 127.0.0.1 (key only) in ${run_time}s," \
    "equal to one run ($one_summary)"
}

check_kubernetes() {
  recipe "## Kubernetes indexed Job" yaml >"$work/job.yaml"
  local summary
  summary=$(/usr/bin/python3 - "$work/job.yaml" <<'EOF'
import re, sys, yaml
job = yaml.safe_load(open(sys.argv[1]))
body = job["spec"]  # the Job's own settings
pod = body["template"]["spec"]
container = pod["containers"][0]
assert job["apiVersion"] == "batch/v1" and job["kind"] == "Job", "not a batch/v1 Job"
assert body["completionMode"] == "Indexed", "completionMode is not Indexed"
completions = body["completions"]
assert isinstance(completions, int) and completions > 0, "completions"
assert 0 < body.get("parallelism", 1) <= completions, "parallelism"
assert isinstance(body.get("backoffLimitPerIndex"), int), "backoffLimitPerIndex"
assert pod["restartPolicy"] == "Never", "backoffLimitPerIndex needs restartPolicy Never"
assert container["image"] and container["name"], "container image and name"
command = " ".join(container.get("command", []) + container.get("args", []))
shard = re.search(r'--shard "\$\(\(JOB_COMPLETION_INDEX \+ 1\)\)/(\d+)"', command)
assert shard and int(shard.group(1)) == completions, "--shard K/N with N = completions"
assert "exec gridcast" in command, "gridcast is not the main process"
mounts = {m["name"] for m in container.get("volumeMounts", [])}
volumes = {v["name"] for v in pod.get("volumes", [])}
assert mounts and mounts <= volumes, "volume mounts without volumes"
print(f"indexed Job of {completions} shares, valid")
EOF
  )
  result "on paper (no cluster here): $summary"
}

check_packages() {
  debian_root
  local dir=$work/packages
  if mountpoint -q "$dir/root/proc"; then umount "$dir/root/proc"; fi
  rm -rf "$dir" && mkdir -p "$dir"
  (cd build/package && cpack -B "$dir/cpack")
  local debs=("$dir"/cpack/gridcast_*.deb "$dir"/cpack/quillane_*.deb)
  lintian --display-info "${debs[@]}" | tee "$dir/lintian.txt"
  ! grep -qE '^[EW]: ' "$dir/lintian.txt" || { echo "lintian errors or warnings"; return 1; }
  local root=$dir/root
  cp -a "$work/bookworm" "$root"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  cp "${debs[@]}" "$root/tmp/"
  mount -t proc proc "$root/proc"
  trap "umount '$root/proc'" EXIT
  in_root() { chroot "$root" /usr/bin/env DEBIAN_FRONTEND=noninteractive /bin/sh -c "$1"; }
  local skip='-path /proc -o -path /tmp -o -path /var/cache -o -path /var/lib/apt -o -path /var/log'
  skip+=' -o -path /var/lib/dpkg -o -path /etc/ld.so.cache'
  snapshot() { in_root "find / -xdev \\( $skip \\) -prune -o -print | sort" >"$dir/$1"; }
  in_root 'apt-get update -q'
  snapshot before
  # gridcast alone: no Qt or X comes with it, it converts the examples, and a purge leaves the
  # root as it was.
  in_root 'cd /tmp && apt-get install -y -q ./gridcast_*.deb'
  ! in_root 'dpkg -l' | grep -qE 'libqt|libx11' || { echo "gridcast brought Qt or X"; return 1; }
  in_root 'mkdir /tmp/out && cd /usr/share/doc/gridcast/examples &&
    gridcast "*.xls" "*.xlsx" "*.fods" -d /tmp/out --log /tmp/out/run.log'
  [[ $(grep -c '  100, ' "$root/tmp/out/run.log") == 5 ]] || { echo "examples not converted"; return 1; }
  in_root 'apt-get purge -y -q gridcast && apt-get autoremove --purge -y -q'
  snapshot after-gridcast
  diff "$dir/before" "$dir/after-gridcast" || { echo "gridcast left the above behind"; return 1; }
  # Both, as a desktop installs them (with the recommended packages of Qt's).
  in_root 'cd /tmp && apt-get install -y -q ./gridcast_*.deb ./quillane_*.deb &&
    quillane --version && gridcast --version'
  in_root 'apt-get purge -y -q quillane gridcast && apt-get autoremove --purge -y -q'
  snapshot after
  ! in_root 'dpkg -l' | grep -E '^[a-z]+ +(gridcast|quillane) ' || return 1
  comm -23 "$dir/before" "$dir/after" >"$dir/removed"
  [[ ! -s $dir/removed ]] || { cat "$dir/removed"; echo "the above was removed"; return 1; }
  # What stays was made by the maintainer scripts of dependencies (systemd, dbus, adduser);
  # /run is a memory file system on a running machine. None of it is a file of ours.
  comm -13 "$dir/before" "$dir/after" | grep -v '^/run/' >"$dir/left" || true
  for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done | awk '/^[-l]/ {print $6}' |
    sed 's|^\./|/|' >"$dir/ours"
  if grep -E 'gridcast|quillane' "$dir/left" || grep -Fxf "$dir/ours" "$dir/left"; then
    echo "files of the packages left behind"; return 1
  fi
  echo "left by the dependencies' scripts:"; cat "$dir/left"
  umount "$root/proc" && trap - EXIT
  rm -rf "$root"
  result "lintian: no error or warning ($(grep -c '^I: ' "$dir/lintian.txt") info);" \
    "gridcast installed alone into a fresh Debian 12 root, 5 examples converted, purged: root" \
    "as before; with quillane: purged, nothing of theirs left ($(wc -l <"$dir/left") paths of" \
    "dependencies' scripts)"
}

status=0
for engine in "${engines[@]}"; do
  rm -f "$logs/$engine.result"
  start=$SECONDS
  set +e
  (set -e; "check_$engine") >"$logs/$engine.log" 2>&1
  rc=$?
  set -e
  took=$((SECONDS - start))
  if ((rc == 0)) && [[ -s $logs/$engine.result ]]; then
    printf '%-11s PASS %4ss  %s\n' "$engine" "$took" "$(cat "$logs/$engine.result")"
  else
    printf '%-11s FAIL %4ss  see %s:\n' "$engine" "$took" "${logs#"$src"/}/$engine.log"
    tail -5 "$logs/$engine.log" | sed 's/^/    /'
    status=1
  fi
done
exit $status
