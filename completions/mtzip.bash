# SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
# SPDX-License-Identifier: MIT
# bash completion for mtzip. Self-contained (no bash-completion helpers) and
# bash 3.2 compatible, so it also works with the bash of macOS.

# Completes files ending in $1 and folders.
_mtzip_files()
{
    local IFS=$'\n'
    COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X "!*.$1" -- "$cur"))
}

_mtzip()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    local command="" positional=0 i word dest=""
    COMPREPLY=()

    # The command, then the positional arguments before the cursor; the
    # values of --dest, --categories, --wait and the password options are not positional.
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $command ]]; then
            [[ $word == -* ]] || command=$word
            continue
        fi
        case $word in
            --dest|-dest) dest=${COMP_WORDS[i+1]}; ((i++)) ;;
            --categories|-categories|--wait|-wait|--password|-password|--password-file|-password-file|--trash-owner|-trash-owner) ((i++)) ;;
            --search|-search|--fcp-version|-fcp-version|-o|--output|-output) ((i++)) ;;
            -*) ;;
            *) ((positional++)) ;;
        esac
    done

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "extract pack list install uninstall installed verify remove owner files info hide show check collect help --quiet --verbose --help --version" -- "$cur"))
        return 0
    fi

    case $prev in
        --dest|-dest) local IFS=$'\n'; COMPREPLY=($(compgen -d -- "$cur")); return 0 ;;
        --categories|-categories) _mtzip_files plist; return 0 ;;
        --password|-password|--wait|-wait|--fcp-version|-fcp-version|--trash-owner|-trash-owner) return 0 ;;
        --search|-search) local IFS=$'\n'; COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.@(mtzip|zip)' -- "$cur")); return 0 ;;
        -o|--output|-output) _mtzip_files zip; return 0 ;;
        --password-file|-password-file) local IFS=$'\n'; COMPREPLY=($(compgen -f -- "$cur")); return 0 ;;
    esac

    local options
    case $command in
        extract|pack) options="--password --password-file" ;;
        list) options="--dest --all-users --categories --json --fcp-version" ;;
        install) options="--dest --all-users --categories --json --delete-archive --trash --replace-edited --replace-foreign --dry-run -n --fcp-version --skip-too-new --only --wait" ;;
        uninstall) options="--dest --all-users --categories --json --trash --remove-edited --dry-run -n --wait" ;;
        installed) options="--dest --all-users --json --archives --fcp-version" ;;
        info) options="--dest --all-users --json --fcp-version" ;;
        verify|owner|files) options="--dest --all-users --json" ;;
        hide|show) options="--dest --all-users --json --wait" ;;
        remove) options="--dest --all-users --json --trash --remove-edited --dry-run -n --wait --trash-owner" ;;
        check) options="--dest --all-users --categories --json --search --fcp-version --skip-too-new --only --install --delete-archive --trash --replace-edited --replace-foreign --dry-run -n --wait" ;;
        collect) options="--dest --output -o" ;;
        *) return 0 ;;
    esac
    options="$options --quiet --verbose --help"
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return 0
    fi

    local IFS=$'\n'
    case $command in
        list|install|uninstall)
            local found
            _mtzip_files mtzip
            found=("${COMPREPLY[@]}")
            _mtzip_files zip
            COMPREPLY=("${found[@]}" "${COMPREPLY[@]}") ;;
        check|collect)
            # A project is a .fcpxml file or a .fcpxmld bundle (a folder).
            COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.fcpxml' -- "$cur")) ;;
        verify|remove|files|info|hide|show)
            # The archive titles the receipts of the folder given by --dest
            # name; info also takes an archive file.
            if [[ -n $dest && -d $dest/.receipts ]]; then
                local titles="" receipt
                for receipt in "$dest"/.receipts/*.json; do
                    [[ -f $receipt ]] || continue
                    receipt=${receipt##*/}
                    receipt=${receipt%.json}
                    # TITLE~HASH.json with the title percent-encoded; older
                    # receipts are named TITLE.json.
                    if [[ $receipt =~ ^(.*)~[0-9a-f]{16}$ ]]; then
                        receipt=${BASH_REMATCH[1]}
                        receipt=$(printf '%b' "${receipt//%/\\x}")
                    fi
                    titles="$titles"$'\n'"$receipt"
                done
                COMPREPLY=($(compgen -W "$titles" -- "$cur"))
            fi
            if [[ $command == info ]]; then
                local found=("${COMPREPLY[@]}")
                _mtzip_files mtzip
                COMPREPLY=("${found[@]}" "${COMPREPLY[@]}")
            fi ;;
        owner)
            # Paths relative to the folder given by --dest, or absolute ones.
            if [[ -n $dest && $cur != /* && -d $dest ]]; then
                COMPREPLY=($(cd -- "$dest" && compgen -f -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        extract)
            if ((positional == 0)); then
                COMPREPLY=($(compgen -f -- "$cur"))
            elif ((positional == 1)); then
                COMPREPLY=($(compgen -d -- "$cur"))
            fi ;;
        pack)
            if ((positional == 0)); then
                COMPREPLY=($(compgen -d -- "$cur"))
            elif ((positional == 1)); then
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
    esac
    return 0
}

complete -o filenames -F _mtzip mtzip
