# Shared by the scripts: configure and build one preset, using ccache when it is there.
vantrel_build() {
  local preset="$1"; shift
  local launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake --preset "$preset" "${launcher[@]}" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" "$@"
}
