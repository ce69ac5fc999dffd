# fish completion for tonvale-cli: the options, their values (genres and WMA
# formats as tonvale-cli lists them), and after the options the files whose
# extension gives a mode, in any letter case, and folders.

# The formats of the codec given by --wma-codec, else of every codec.
function __tonvale_cli_wma_formats
    set -l codec
    set -l tokens (commandline -opc)
    if set -l i (contains -i -- --wma-codec $tokens); and test (count $tokens) -gt $i
        set codec $tokens[(math $i + 1)]
    end
    tonvale-cli --list-wma-formats 2>/dev/null | awk -v c="$codec" '
        /^codec / { name = substr($0, index($0, ":") + 2); sub(":", "", $2); on = c == "" || $2 == c; next }
        on { n = $1; $1 = ""; print n "\t" name "," $0 }'
end

# Folders, and files whose extension gives a mode with the --to given.
function __tonvale_cli_sources
    set -l target
    set -l tokens (commandline -opc)
    if set -l i (contains -i -- --to $tokens); and test (count $tokens) -gt $i
        set target (string lower -- $tokens[(math $i + 1)])
    end
    for f in (__fish_complete_path (commandline -ct) | string split -f1 \t)
        if test -d "$f"
            echo $f
        else if string match -qri -- '\.(wav|mp3|wma)$' $f
            if test -z "$target"; or not string match -qi -- "*.$target" $f
                echo $f
            end
        end
    end
end

set -l rates 48 56 64 80 96 128 192 256 320
complete -c tonvale-cli -f -a '(__tonvale_cli_sources)'
complete -c tonvale-cli -s h -l help -d 'Print the options and exit'
complete -c tonvale-cli -l to -x -a 'mp3 wav wma' -d 'Target format'
complete -c tonvale-cli -s o -l output-folder -x -a '(__fish_complete_directories)' -d 'Folder that receives the outputs'
complete -c tonvale-cli -l same-folder -d 'Write each output beside its source'
complete -c tonvale-cli -l bitrate -x -a "$rates" -d 'MP3 constant bit rate, kbit/s'
complete -c tonvale-cli -l vbr -d 'MP3 variable bit rate'
complete -c tonvale-cli -l vbr-quality -x -a '0 1 2 3 4 5 6 7 8 9' -d 'MP3 VBR quality, 0 (best) to 9'
complete -c tonvale-cli -l vbr-min -x -a "8 16 24 32 40 $rates" -d 'MP3 VBR lowest bit rate, kbit/s'
complete -c tonvale-cli -l vbr-max -x -a "8 16 24 32 40 $rates" -d 'MP3 VBR highest bit rate, kbit/s'
complete -c tonvale-cli -l no-id3v2 -d 'Write only the ID3v1 tag on MP3 outputs'
complete -c tonvale-cli -l no-segments -d 'Encode every MP3 in one pass'
complete -c tonvale-cli -l channel-mode -x -a 'stereo joint dual mono' -d 'MP3 channel mode'
complete -c tonvale-cli -l wma-codec -x -d 'WMA codec index' \
    -a '(tonvale-cli --list-wma-formats 2>/dev/null | string replace -rf "^codec (\d+): (.*)" "\$1\t\$2")'
complete -c tonvale-cli -l wma-format -x -a '(__tonvale_cli_wma_formats)' -d 'WMA format index within the codec'
complete -c tonvale-cli -l list-wma-formats -d 'List the WMA codecs and their formats, then exit'
complete -c tonvale-cli -l list-genres -d 'List the genre names --genre takes, then exit'
complete -c tonvale-cli -l title -x -d 'Tag: title (one file only)'
complete -c tonvale-cli -l artist -x -d 'Tag: artist'
complete -c tonvale-cli -l album -x -d 'Tag: album'
complete -c tonvale-cli -l year -x -d 'Tag: year'
complete -c tonvale-cli -l genre -x -a '(tonvale-cli --list-genres 2>/dev/null)' -d 'Tag: genre'
complete -c tonvale-cli -l track -x -d 'Tag: track number'
complete -c tonvale-cli -l comment -x -d 'Tag: comment'
complete -c tonvale-cli -s y -l overwrite -d 'Replace existing outputs'
complete -c tonvale-cli -s n -l no-overwrite -d 'Skip existing outputs'
complete -c tonvale-cli -s q -l quiet -d 'No progress on standard error'
complete -c tonvale-cli -s j -l jobs -x -d 'Files converted at the same time'
complete -c tonvale-cli -s r -l recursive -d 'Folders given as sources contribute every file under them'
complete -c tonvale-cli -l strict -d 'A warning fails its file; a failed file leaves no partial output'
complete -c tonvale-cli -l json -d 'Standard output carries one JSON object describing the run'
complete -c tonvale-cli -l dry-run -d 'Show what would be done and write nothing'
complete -c tonvale-cli -l version -d 'Print the version and build, then exit'
