# Sourced by the CI scripts that build or run 32-bit x86 code. Installs
# gcc-multilib and g++-multilib when they are missing, and defines native32:
# true when this machine runs 32-bit x86 programs itself (a kernel with IA-32
# emulation), found by building and running a one-line 32-bit program.
# IDLEWARDEN_CI_NO_NATIVE32=1 makes it answer no, to try the other path.

need32=()
for p in gcc-multilib g++-multilib; do
  dpkg -s "$p" >/dev/null 2>&1 || need32+=("$p")
done
if ((${#need32[@]})); then
  echo "== installing: ${need32[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need32[@]}" >/dev/null
fi

native32() {
  local dir runs=1
  [ "${IDLEWARDEN_CI_NO_NATIVE32:-0}" != 1 ] || return 1
  dir=$(mktemp -d)
  # A failed build is an error of its own, not a "no".
  gcc -m32 -x c -o "$dir/probe" - <<<'int main(void) { return 0; }'
  "$dir/probe" 2>/dev/null || runs=0
  rm -rf "$dir"
  ((runs))
}
