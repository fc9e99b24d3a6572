# Bash completion for gridcast: options, their values (folders, files, sheet ranges) and workbooks.
_gridcast() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  case $prev in
    -d|--dest)
      mapfile -t COMPREPLY < <(compgen -d -- "$cur"); return ;;
    -l|--log|--files-from)
      mapfile -t COMPREPLY < <(compgen -f -- "$cur"); return ;;
    -e|--sheets|-p|--password|--shard)
      return ;;
    -j|--jobs)
      mapfile -t COMPREPLY < <(compgen -W "$(seq 1 "$(nproc 2>/dev/null || echo 4)")" -- "$cur")
      return ;;
  esac
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "-d --dest -s --subfolders -o --overwrite -e --sheets
      -c --compress -f --keep-files -p --password -l --log -j --jobs --files-from -0 --null
      --shard -h --help --version --" -- "$cur")
    return
  fi
  # Workbooks and the folders that may hold them.
  local IFS=$'\n'
  COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.[xX][lL][sStTwW]' -- "$cur"))
  compopt -o filenames 2>/dev/null
}
complete -F _gridcast gridcast
