# Helpers of the agent's program tests (sourced): a work folder, waiting, a
# free loopback port below the ephemeral range, a listening check.

# Makes the folder $work (named after $1) and removes it at exit, after
# ending the processes listed in the array `pids`.
makeWork() {
  work=$(mktemp -d "/tmp/$1.XXXXXX")
  pids=()
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
}

# Waits until the command succeeds: up to WAIT_TENTHS tenths of a second
# (default 300, 30 s).
waitFor() {
  for _ in $(seq "${WAIT_TENTHS:-300}"); do "$@" && return 0; sleep 0.1; done
  return 1
}
# A free port below the ephemeral range, so that no outgoing connection of a
# test running beside this one can be given it before the agent listens.
freePort() { python3 -c '
import random, socket
for p in random.sample(range(20000, 32000), 200):
    s = socket.socket()
    try:
        s.bind(("127.0.0.1", p)); print(p); break
    except OSError:
        pass
    finally:
        s.close()
'; }
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
