# Makes the pieces of a release: the staged files, their Authenticode signatures and the Windows
# Installer package. Sourced by scripts/package and by the release tests, so that the tests check
# the very steps a release is made with. The same input gives the same bytes: dates come from
# SOURCE_DATE_EPOCH, which the caller sets. Each function answers non-zero when a step failed, with
# or without errexit in force.

orvantis_programs=(Renvale.exe Tessaly.exe Vintrel.exe)
# The administrative templates, laid out as a central store's PolicyDefinitions folder.
orvantis_policy_files=(policies/Orvantis.admx policies/en-US/Orvantis.adml policies/de-DE/Orvantis.adml)

# The release named in platform/win32/version.h, such as 1.0.0.
orvantis_release_version() {
    local root=$1
    sed -n 's/^#define ORVANTIS_RELEASE_TEXT "Orvantis \(.*\)"$/\1/p' "$root/platform/win32/version.h"
}

# Fills the folder stage with the programs from programs_dir, README.txt for administrators
# (CRLF, the release filled in) and the administrative templates.
orvantis_stage_release() {
    local root=$1 programs_dir=$2 version=$3 stage=$4
    mkdir -p "$stage/policies/en-US" "$stage/policies/de-DE" &&
        cp "${orvantis_programs[@]/#/$programs_dir/}" "$stage/" &&
        sed "s/@VERSION@/$version/; s/\$/\r/" "$root/dist/README.txt" >"$stage/README.txt" &&
        for file in "${orvantis_policy_files[@]}"; do
            cp "$root/dist/$file" "$stage/$file" || return 1
        done &&
        orvantis_fix_file_dates "${orvantis_programs[@]/#/$stage/}" "$stage/README.txt" \
            "${orvantis_policy_files[@]/#/$stage/}"
}

# The zip of a staged release, with SHA256SUMS of everything in it, in a fixed order, without
# extra fields, times in UTC: nothing of this machine reaches the zip.
orvantis_zip_release() {
    local stage=$1 zip_file=$2
    local files=("${orvantis_programs[@]}" README.txt "${orvantis_policy_files[@]}")
    (cd "$stage" && sha256sum "${files[@]}" >SHA256SUMS) &&
        orvantis_fix_file_dates "$stage/SHA256SUMS" &&
        (cd "$stage" && TZ=UTC zip -q -X -D -9 "$zip_file" "${files[@]}" SHA256SUMS)
}

# Nothing of this machine, this moment or this user may reach a package: fixed modes and dates.
orvantis_fix_file_dates() {
    chmod 0644 "$@" && touch -d "@$SOURCE_DATE_EPOCH" "$@"
}

# Signs file in place with Authenticode (SHA-256) by the certificate and key in the PKCS#12 file
# pfx. The password comes from password_file, or from ORVANTIS_SIGN_PASSWORD when no file is
# given, and reaches osslsigncode through a pipe, never on a command line. The signing time is
# SOURCE_DATE_EPOCH, so signing twice gives the same bytes; a time stamp from timestamp_url (when
# given) makes each signature unique.
orvantis_sign_file() {
    local file=$1 pfx=$2 password_file=$3 timestamp_url=$4
    local stamp=()
    [ -n "$timestamp_url" ] && stamp=(-ts "$timestamp_url")
    if [ -z "$password_file" ] && [ -z "${ORVANTIS_SIGN_PASSWORD+set}" ]; then
        echo "signing needs the password in ORVANTIS_SIGN_PASSWORD or --password-file" >&2
        return 2
    fi
    local signed=$file.signed status=0
    rm -f "$signed"
    osslsigncode sign -pkcs12 "$pfx" -readpass "${password_file:-/dev/fd/3}" -h sha256 \
        -n Orvantis -time "$SOURCE_DATE_EPOCH" "${stamp[@]}" -in "$file" -out "$signed" \
        3< <(printf '%s' "${ORVANTIS_SIGN_PASSWORD-}") >"$signed.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        echo "signing $file failed:" >&2
        cat "$signed.log" >&2
    else
        mv "$signed" "$file" && orvantis_fix_file_dates "$file"
    fi
    rm -f "$signed" "$signed.log"
    return "$status"
}

# Builds the Windows Installer package output from the files in stage, with wixl.
orvantis_make_msi() {
    local root=$1 version=$3 stage output source
    stage=$(realpath "$2") && output=$(realpath -m "$4") && source=$(realpath "$root/dist/orvantis.wxs") ||
        return 1
    # One product code per release, the same in every build of it. Windows tells packages apart by
    # the package code: one per content, so a signed package and an unsigned one differ.
    local product_code package_code content
    product_code=$(orvantis_uuid_of "Orvantis product $version")
    content=$(cat "${orvantis_programs[@]/#/$stage/}" "$stage/README.txt" "$source" | sha256sum)
    package_code=$(orvantis_uuid_of "Orvantis package $version $content")
    rm -f "$output"
    # The cabinet in the package records each file's date.
    orvantis_fix_file_dates "${orvantis_programs[@]/#/$stage/}" "$stage/README.txt" || return 1
    # wixl 0.101 writes the clock's time into the summary information (it ignores
    # SOURCE_DATE_EPOCH): it runs with the clock stopped there. It finds no file by an absolute
    # path, so it runs in the stage.
    (cd "$stage" && TZ=UTC faketime "$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')" \
        wixl --arch x86 -D Version="$version" -D ActiveSetupVersion="${version//./,}" \
        -D ProductCode="$product_code" -D Files=. -o "$output" "$source") || return 1
    # wixl 0.101 answers 0 also when it could not write the package.
    [ -s "$output" ] || { echo "wixl made no $output" >&2; return 1; }
    # Set in the tables afterwards, where wixl 0.101 falls short: the package code (it draws a
    # random one), a component's condition and its "transitive" attribute (64: the condition is
    # evaluated again on a maintenance run; 4 marks a registry key path), the type of an inline
    # JScript action (37), the secure properties (it knows only its own) and the type of an
    # expandable registry value (it reads none of these).
    msibuild "$output" -s "Orvantis $version" Orvantis "Intel;1033" "$package_code" || return 1
    local condition component attributes
    for condition in 'ActiveSetup 68 TRUST = "1"' 'Shortcut 64 MASTER'; do
        read -r component attributes condition <<<"$condition"
        msibuild "$output" -q "UPDATE \`Component\` SET \`Condition\` = '$condition', \
            \`Attributes\` = $attributes WHERE \`Component\` = '$component'" || return 1
    done
    msibuild "$output" -q "UPDATE \`CustomAction\` SET \`Type\` = 37, \`Source\` = '' \
        WHERE \`Action\` = 'StripTrailingBackslashes'" || return 1
    local secure
    secure=$(msiinfo export "$output" Property | sed -n 's/^SecureCustomProperties\t\(.*\)\r$/\1/p')
    msibuild "$output" -q "UPDATE \`Property\` SET \`Value\` = \
        '${secure:+$secure;}INSTALLFOLDER;LOG;MASTER;TRUST' WHERE \`Property\` = 'SecureCustomProperties'" ||
        return 1
    local table status=0
    table=$(mktemp -d) || return 1
    { msiinfo export "$output" Registry >"$table/Registry.idt" &&
        sed -i 's/^\(\(ActiveSetupStubPath\|EventMessageFile\)\t[^\t]*\t[^\t]*\t[^\t]*\t\)\([^#]\)/\1#%\3/' \
            "$table/Registry.idt" &&
        (cd "$table" && msibuild "$output" -i Registry.idt); } || status=$?
    rm -rf "$table"
    [ "$status" -eq 0 ] && orvantis_fix_file_dates "$output"
}

# A UUID in braces made from the SHA-256 of text, the same for the same text.
orvantis_uuid_of() {
    local hash
    hash=$(printf '%s' "$1" | sha256sum)
    hash=${hash^^}
    echo "{${hash:0:8}-${hash:8:4}-5${hash:13:3}-A${hash:17:3}-${hash:20:12}}"
}
