# bash completion for tonvale-cli                          -*- shell-script -*-
# The option names, their values (genres and WMA formats as tonvale-cli lists
# them), and after the options the files whose extension gives a mode, in any
# letter case, and folders.

_tonvale_cli() {
  local cur prev words cword split
  _init_completion -s || return

  local program=${words[0]} rates="48 56 64 80 96 128 192 256 320"
  case $prev in
    --to)
      COMPREPLY=($(compgen -W "mp3 wav wma" -- "${cur,,}"))
      return ;;
    --channel-mode)
      COMPREPLY=($(compgen -W "stereo joint dual mono" -- "${cur,,}"))
      return ;;
    --bitrate)
      COMPREPLY=($(compgen -W "$rates" -- "$cur"))
      return ;;
    --vbr-min | --vbr-max)
      COMPREPLY=($(compgen -W "8 16 24 32 40 $rates" -- "$cur"))
      return ;;
    --vbr-quality)
      COMPREPLY=($(compgen -W "0 1 2 3 4 5 6 7 8 9" -- "$cur"))
      return ;;
    --wma-codec)
      COMPREPLY=($(compgen -W "$("$program" --list-wma-formats 2>/dev/null |
        sed -n 's/^codec \([0-9]*\):.*/\1/p')" -- "$cur"))
      return ;;
    --wma-format)
      # The formats of the codec given before, else of every codec.
      local i codec=
      for ((i = 1; i < cword; i++)); do
        [[ ${words[i]} == --wma-codec ]] && codec=${words[i + 1]}
      done
      COMPREPLY=($(compgen -W "$("$program" --list-wma-formats 2>/dev/null | awk -v c="$codec" '
        /^codec / { sub(":", "", $2); on = c == "" || $2 == c; next }
        on { print $1 }' | sort -nu)" -- "$cur"))
      return ;;
    --genre)
      # Names with spaces or other special characters come quoted.
      local genre word
      word=$(dequote "$cur")
      local IFS=$'\n'
      for genre in $("$program" --list-genres 2>/dev/null); do
        [[ ${genre,,} == "${word,,}"* ]] && COMPREPLY+=("$genre")
      done
      compopt -o filenames 2>/dev/null
      return ;;
    -o | --output-folder)
      _filedir -d
      return ;;
    --title | --artist | --album | --year | --track | --comment | -j | --jobs)
      return ;;
  esac
  $split && return

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "--help --to --output-folder --same-folder --bitrate --vbr --vbr-quality
      --vbr-min --vbr-max --no-id3v2 --no-segments --channel-mode --wma-codec --wma-format
      --list-wma-formats --list-genres --title --artist --album --year --genre --track --comment
      --overwrite --no-overwrite --quiet --jobs --recursive --strict --json --dry-run --version
      -h -o -y -n -q -j -r" -- "$cur"))
    return
  fi

  # Sources: folders, and files whose extension gives a mode with the --to
  # given (a file already in the target format would only be skipped).
  local target= i f
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --to) target=${words[i + 1],,} ;;
      --to=*) target=${words[i]#--to=} target=${target,,} ;;
    esac
  done
  _filedir
  local -a kept=()
  for f in "${COMPREPLY[@]}"; do
    if [[ -d $f ]]; then
      kept+=("$f")
    else
      case ${f,,} in
        *.wav | *.mp3 | *.wma) [[ ${f,,} == *."$target" && -n $target ]] || kept+=("$f") ;;
      esac
    fi
  done
  COMPREPLY=("${kept[@]}")
} && complete -F _tonvale_cli tonvale-cli
