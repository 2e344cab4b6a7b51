# bash completion for stratus(1)

_stratus_states() {
  # The state short names, from the second column of `stratus places`.
  stratus "$@" places 2>/dev/null | awk 'NR > 1 { print $2 }'
}

_stratus() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="places now forecast warnings watches statements public
    discussion summary decode config"
  local options="--json --units --temp --wind --pressure --data-dir --config
    --quiet --help --version"
  local keys="UseProxy ProxyLocation ConditionsBase WarningsBase"
  COMPREPLY=()

  # Options the command line already has that change where data comes from.
  local -a data=()
  local i cmd= sub= after=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      --data-dir | --config)
        data+=("${COMP_WORDS[i]}" "${COMP_WORDS[i + 1]}")
        ((i++))
        ;;
      --units | --temp | --wind | --pressure | --state) ((i++)) ;;
      -*) ;;
      *)
        if [[ -z $cmd ]]; then
          cmd=${COMP_WORDS[i]}
        elif [[ -z $sub ]]; then
          sub=${COMP_WORDS[i]}
        else
          after=1
        fi
        ;;
    esac
  done

  case $prev in
    --units) COMPREPLY=($(compgen -W "us metric" -- "$cur")); return ;;
    --temp) COMPREPLY=($(compgen -W "c f" -- "$cur")); return ;;
    --wind) COMPREPLY=($(compgen -W "kt mph kmh" -- "$cur")); return ;;
    --pressure) COMPREPLY=($(compgen -W "inhg hpa mmhg" -- "$cur")); return ;;
    --data-dir) compopt -o filenames; COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --config) compopt -o filenames; COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --state)
      COMPREPLY=($(compgen -W "$(_stratus_states "${data[@]}")" -- "$cur"))
      return
      ;;
  esac

  if [[ $cur == -* || -z $cmd ]]; then
    local extra=
    [[ $cmd == places ]] && extra=--state
    [[ -z $cmd ]] && extra=$commands
    COMPREPLY=($(compgen -W "$options $extra" -- "$cur"))
    return
  fi
  case $cmd in
    config)
      if [[ -z $sub ]]; then
        COMPREPLY=($(compgen -W "list get set path" -- "$cur"))
      elif [[ ($sub == get || $sub == set) && $after == 0 ]]; then
        COMPREPLY=($(compgen -W "$keys" -- "$cur"))
      fi
      ;;
    decode) COMPREPLY=($(compgen -W "-" -- "$cur")) ;;
  esac
}

complete -F _stratus stratus
