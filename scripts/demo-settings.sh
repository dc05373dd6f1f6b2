#!/usr/bin/env bash
# Writes the demo feature configuration for `make run`: every page and menu
# item of the panel visible. The file is written only when it is missing, so
# what the demo user changes (paths, check marks, the log view's place) stays.
#   scripts/demo-settings.sh DEMO_HOME
set -euo pipefail

home="${1:?usage: demo-settings.sh DEMO_HOME}"
ini="$home/config/Ardenfield/Quillon7.ini"
mkdir -p "$home/config/Ardenfield" "$home/data"
[ -e "$ini" ] && exit 0

cat > "$ini" <<'INI'
[SETUP]
USBCONFIG=1
I2CCont=1
I2CCont2=1
I2CCont3=1
SPICont=1
SerBridge=1
SUSPEND=1
TEMPMoni=1
GPIO=1
NorBridge2=1
GPIF_CONFIG=1
REGEX=1
REG512=1
MCP4725=1
GPIF_WAVE=1
MEM_CMD_EXT=1
REGEX_EMULATE_VISIBLE=1
TEMP_ALERT=1
FX3WATCHDOG=1
FX3RESET=1
EXT_CFG=1
TAVEL_CONFIG=1
BITSWAP=1
ENCRYPT=1
TESSERA_CONFIG=1
MEM_NUM=2
MEM_LIST0=DDR3
MEM_LIST1=SRAM
INI
echo "demo settings written to $ini"
