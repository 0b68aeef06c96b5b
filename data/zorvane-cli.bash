# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for zorvane-cli
#
# Subcommands, options and the values an option accepts are read from the
# program's own --help (and its subcommands'), so the completion follows the
# program it completes. File names are left to bash's default completion.

# Prints the words of one kind found in a help text:
#   subcommands  the names under "Subcommands:"
#   options      every --long option
#   values OPT   what OPT accepts when the help lists it ({a,b,c}); "VALUE"
#                when it takes any other value; nothing for a flag
_zorvane_cli_words() {
  local kind=$1 want=${2-} line section="" name type
  while IFS= read -r line; do
    if [[ $line =~ ^([A-Z][A-Za-z\ ]*):$ ]]; then
      section=${BASH_REMATCH[1]}
      continue
    fi
    [[ $line == "  "[!\ ]* ]] || continue
    read -r name type _ <<<"$line"
    case $kind in
      subcommands) [[ $section == Subcommands ]] && printf '%s\n' "$name" ;;
      options)
        [[ $section == Options ]] || continue
        local flag
        for flag in ${name//,/ }; do [[ $flag == --* ]] && printf '%s\n' "$flag"; done
        ;;
      values)
        [[ ,$name, == *,$want,* ]] || continue
        if [[ $type =~ \{([^}]*)\} ]]; then
          printf '%s\n' ${BASH_REMATCH[1]//,/ }
        elif [[ $type =~ ^[A-Z]+(:|$) ]]; then
          printf 'VALUE\n'
        fi
        ;;
    esac
  done
}

_zorvane_cli() {
  local cword=$COMP_CWORD cur=${COMP_WORDS[COMP_CWORD]} prev="" prog=${COMP_WORDS[0]}
  ((cword > 0)) && prev=${COMP_WORDS[cword - 1]}
  # "--opt=val": bash splits at "=", so the option is two words back.
  if [[ $prev == "=" ]] && ((cword > 1)); then
    prev=${COMP_WORDS[cword - 2]}
  elif [[ $cur == "=" ]]; then
    prev=${COMP_WORDS[cword - 1]}
    cur=""
  fi
  COMPREPLY=()

  local sub="" i
  for ((i = 1; i < cword; i++)); do
    case ${COMP_WORDS[i]} in
      -* | =) ;;
      *)
        sub=${COMP_WORDS[i]}
        break
        ;;
    esac
  done
  if [[ -z $sub ]]; then
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W "--help --version" -- "$cur")
    else
      mapfile -t COMPREPLY < <(compgen -W "$("$prog" --help 2>/dev/null |
        _zorvane_cli_words subcommands)" -- "$cur")
    fi
    return
  fi

  local help
  help=$("$prog" "$sub" --help 2>/dev/null) || return
  if [[ $prev == --* ]]; then
    local values
    values=$(_zorvane_cli_words values "$prev" <<<"$help")
    if [[ $prev == --audio ]]; then
      values="system loopback loopback:"
    fi
    if [[ -n $values && $values != VALUE ]]; then
      mapfile -t COMPREPLY < <(compgen -W "$values" -- "$cur")
      [[ ${COMPREPLY[*]} == *: ]] && compopt -o nospace 2>/dev/null
      return
    fi
    # Any other value: bash's own completion (file names).
    [[ -n $values ]] && return
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_zorvane_cli_words options <<<"$help")" -- "$cur")
  fi
}

complete -o bashdefault -o default -F _zorvane_cli zorvane-cli
