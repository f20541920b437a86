#!/usr/bin/env bash
# Runs a command next to a live test domain: two Samba Active Directory domain controllers, DC1
# (127.0.0.11, provisioned) and DC2 (127.0.0.12, joined), in a private network and mount namespace
# so that nothing of the machine is touched (its /etc/hosts, /etc/resolv.conf, addresses and ports
# stay as they are). Everything lives in one temporary folder, removed at the end with the
# controllers ended by their process ids, also when the command or the start-up fails.
#
#   samba-domain.sh COMMAND [ARGS...]     start the domain, run COMMAND, tear the domain down
#   samba-domain.sh --start-dc N          (from inside COMMAND) start controller N again
#   samba-domain.sh --stop-dc N           (from inside COMMAND) stop controller N
#
# COMMAND sees VANTREL_SAMBA_DOMAIN (the folder; domain.env in it holds the facts, see below),
# SMB_CONF_PATH and KRB5_CONFIG (client configuration), KRB5CCNAME (the Administrator's tickets).
# Without root or without Samba the domain cannot be started: COMMAND then runs with
# VANTREL_SAMBA_SKIP set to the reason, so that its tests skip and say why.
#
# For measuring scans of a larger domain: VANTREL_SAMBA_EXTRA_USERS=N adds N users (bulk0000...,
# never logged on, without a password; a few seconds for thousands), and
# VANTREL_SAMBA_PROCESS_MODEL=prefork serves requests in several processes instead of one (single,
# the default, starts and stops faster).
set -euo pipefail

readonly REALM=VANTREL.TEST
readonly DOMAIN=VANTREL
readonly DC1_IP=127.0.0.11
readonly DC2_IP=127.0.0.12
readonly SAMBA_PYTHON=/usr/bin/python3
# Test domain only: never a real password.
readonly ADMIN_PASSWORD='Vantrel-Admin-1'
readonly USER_PASSWORD='Vantrel-User-1'

script="$(readlink -f "$0")"

log() { echo "samba-domain: $*" >&2; }

dc_ip() { if [ "$1" = 1 ]; then echo "$DC1_IP"; else echo "$DC2_IP"; fi; }

wait_for_port() {  # ip port seconds
  local deadline=$((SECONDS + $3))
  until (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then return 1; fi
    sleep 0.2
  done
}

start_dc() {  # n
  local n="$1" dir="$VANTREL_SAMBA_DOMAIN/dc$1"
  # Each controller gets its own /run/samba: the sockets between its smbd, winbindd and samba live
  # there at fixed places, and two controllers sharing them would answer each other's requests.
  setsid unshare --mount --propagation private \
    sh -c 'mkdir -p /run/samba && mount -t tmpfs tmpfs /run/samba && exec samba -i -M "$2" -s "$1"' \
    samba "$dir/etc/smb.conf" "${VANTREL_SAMBA_PROCESS_MODEL:-single}" >>"$dir/samba.log" 2>&1 </dev/null &
  echo $! >"$dir/samba.pid"
  # LDAP and SMB answering means the controller serves what the tests ask.
  if ! wait_for_port "$(dc_ip "$n")" 389 60 || ! wait_for_port "$(dc_ip "$n")" 445 60; then
    log "DC$n did not start; its log:"
    tail -n 40 "$dir/samba.log" >&2
    return 1
  fi
}

stop_dc() {  # n
  local pidfile="$VANTREL_SAMBA_DOMAIN/dc$1/samba.pid" pid
  [ -f "$pidfile" ] || return 0
  pid="$(cat "$pidfile")"
  rm -f "$pidfile"
  # samba leads its own process group (setsid): its helpers (dnsupdate, kcc) end with it.
  kill -TERM -- "-$pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL -- "-$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

case "${1:-}" in
  --start-dc) export VANTREL_SAMBA_DOMAIN; start_dc "$2"; exit ;;
  --stop-dc) stop_dc "$2"; exit ;;
  "") echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2 ;;
esac

if [ "$(id -u)" -ne 0 ]; then
  export VANTREL_SAMBA_SKIP="the live test domain needs root (network namespace, controllers on loopback)"
  exec "$@"
fi
for tool in samba samba-tool kinit unshare ip; do
  if ! command -v "$tool" >/dev/null; then
    export VANTREL_SAMBA_SKIP="$tool is not installed (scripts/deps installs samba, samba-ad-dc, krb5-user)"
    exec "$@"
  fi
done

# Own network and mount namespaces: loopback addresses, hosts and resolver for this run only.
if [ -z "${VANTREL_SAMBA_NAMESPACE:-}" ]; then
  export VANTREL_SAMBA_NAMESPACE=1
  exec unshare --net --mount --propagation private "$script" "$@"
fi

started=$SECONDS
VANTREL_SAMBA_DOMAIN="$(mktemp -d /tmp/vantrel-samba.XXXXXX)"
export VANTREL_SAMBA_DOMAIN
work="$VANTREL_SAMBA_DOMAIN"

teardown() {
  local status=$?
  stop_dc 2
  stop_dc 1
  # samba-dcerpcd starts in a session of its own and outlives its controller's process group; every
  # process of this run names its configuration under $work.
  pkill -TERM -f -- "$work/" 2>/dev/null || true
  sleep 0.5
  pkill -KILL -f -- "$work/" 2>/dev/null || true
  if [ $status -ne 0 ] && [ -n "${VANTREL_SAMBA_KEEP_LOGS:-}" ]; then
    cp "$work"/dc*/samba.log "$VANTREL_SAMBA_KEEP_LOGS"/ 2>/dev/null || true
  fi
  rm -rf "$work"
  exit $status
}
trap teardown EXIT
trap 'exit 130' INT TERM

ip link set lo up
ip addr add "$DC1_IP/8" dev lo
ip addr add "$DC2_IP/8" dev lo
realm_lower="${REALM,,}"
cat >"$work/hosts" <<EOF
127.0.0.1 localhost
$DC1_IP dc1.$realm_lower dc1
$DC2_IP dc2.$realm_lower dc2
EOF
# The controllers' own DNS answers the domain's service records and replication names.
printf 'nameserver %s\nnameserver %s\nsearch %s\noptions timeout:1 attempts:1\n' "$DC1_IP" "$DC2_IP" \
  "$realm_lower" >"$work/resolv.conf"
mount --bind "$work/hosts" /etc/hosts
mount --bind "$work/resolv.conf" /etc/resolv.conf

# Everything a controller keeps goes to its own folder.
dc_options() {  # n
  local dir="$work/dc$1"
  printf '%s\n' \
    "--option=interfaces=$(dc_ip "$1")" \
    "--option=bind interfaces only=yes" \
    "--option=pid directory=$dir/run" \
    "--option=log file=$dir/log.%m" \
    "--option=dns forwarder=127.0.0.1" \
    "--option=log level=1"
}

log "provisioning DC1"
mkdir -p "$work/dc1/run" "$work/dc2/run"
mapfile -t options1 < <(dc_options 1)
samba-tool domain provision --quiet --targetdir="$work/dc1" --realm="$REALM" --domain="$DOMAIN" \
  --server-role=dc --dns-backend=SAMBA_INTERNAL --host-name=DC1 --host-ip="$DC1_IP" \
  --adminpass="$ADMIN_PASSWORD" "${options1[@]}" >"$work/dc1/provision.log" 2>&1 ||
  { tail -n 40 "$work/dc1/provision.log" >&2; exit 1; }

# The accounts go in before the join, so that its full replication carries them to DC2.
log "filling the domain"
"$SAMBA_PYTHON" - "$work/dc1" "$USER_PASSWORD" "${VANTREL_SAMBA_EXTRA_USERS:-0}" <<'PYTHON' >"$work/accounts.log" 2>&1 ||
import sys
from samba.auth import system_session
from samba.param import LoadParm
from samba.samdb import SamDB
from samba import dsdb

folder, password = sys.argv[1], sys.argv[2]
lp = LoadParm()
lp.load(folder + "/etc/smb.conf")
samdb = SamDB(url=folder + "/private/sam.ldb", session_info=system_session(), lp=lp)

users = ["user%02d" % i for i in range(1, 31)]
users += ["dc1user", "dc2user", "bothuser", "neverused", "ignoredmember", "localmember", "nestedmember",
          "builtinmember", "ntlmuser", "noexpire", "disabled", "todisable", "todelete"]
for name in users:
    samdb.newuser(name, password)
# The extra users go in as plain entries in one transaction: no password (never logged on, as they
# would be anyway), which spares the key derivation that makes newuser take 0.1 s each.
samdb.transaction_start()
try:
    for i in range(int(sys.argv[3])):
        name = "bulk%04d" % i
        samdb.add({"dn": "CN=%s,CN=Users,%s" % (name, samdb.domain_dn()), "objectClass": "user",
                   "sAMAccountName": name, "userAccountControl": str(dsdb.UF_NORMAL_ACCOUNT | dsdb.UF_PASSWD_NOTREQD)})
except BaseException:
    samdb.transaction_cancel()
    raise
samdb.transaction_commit()
# WS01..WS11 get a machine password now (in use); WS12 never got one (old).
for i in range(1, 13):
    samdb.newcomputer("WS%02d" % i, prepare_oldjoin=(i < 12))
samdb.newgroup("VantrelIgnored", description="Accounts the scan leaves out")
samdb.add_remove_group_members("VantrelIgnored", ["ignoredmember"])
samdb.newgroup("VantrelLocal", grouptype=dsdb.GTYPE_SECURITY_DOMAIN_LOCAL_GROUP, description="Domain local")
samdb.add_remove_group_members("VantrelLocal", ["localmember"])
# Nested global groups, and a builtin group.
samdb.newgroup("VantrelOuter", description="Holds a nested group")
samdb.newgroup("VantrelInner", description="Nested in VantrelOuter")
samdb.add_remove_group_members("VantrelInner", ["nestedmember"])
samdb.add_remove_group_members("VantrelOuter", ["VantrelInner"])
samdb.add_remove_group_members("Print Operators", ["builtinmember"])
samdb.setexpiry("(sAMAccountName=noexpire)", 0, no_expiry_req=True)
samdb.setexpiry("(sAMAccountName=todisable)", 0, no_expiry_req=True)
samdb.disable_account("(sAMAccountName=disabled)")
# The password policy of a fresh domain would expire nothing within a test; keep the defaults.
PYTHON
  { cat "$work/accounts.log" >&2; exit 1; }

# Home folders on a file share of DC1: accounts whose home folder is there, with files, a subfolder
# and a link pointing out of the folder; a second share to move into; a computer holding a child
# object. Deleting and moving them is what the live action tests check on disk.
log "adding the file shares"
shares="$work/shares"
# Accounts other than the Administrator (root on the controller) reach the shares too; the folder's
# contents keep their own permissions.
chmod 711 "$work"
mkdir -p "$shares/homes" "$shares/archive" "$shares/outside"
echo "not to be touched" >"$shares/outside/keep.txt"
for name in homedel homemove homerename homecopy homeplain homelocal; do
  mkdir -p "$shares/homes/$name/documents"
  echo "$name's notes" >"$shares/homes/$name/notes.txt"
  echo "$name's report" >"$shares/homes/$name/documents/report.txt"
done
for name in homedel homemove homerename; do ln -s "$shares/outside" "$shares/homes/$name/outside-link"; done
# Another account's folder on the same share, which links in two folders point to.
mkdir -p "$shares/homes/neighbour"
echo "the neighbour's file" >"$shares/homes/neighbour/keep.txt"
for name in homedel homemove; do ln -s ../neighbour "$shares/homes/$name/neighbour-link"; done
# Already taken in the target folders: the moved folders get "name (2)".
mkdir -p "$shares/archive/homecopy" "$shares/homes/moved/homerename"
cat >>"$work/dc1/etc/smb.conf" <<EOF

[homes\$]
  path = $shares/homes
  read only = no

[archive\$]
  path = $shares/archive
  read only = no
EOF
"$SAMBA_PYTHON" - "$work/dc1" "$USER_PASSWORD" <<'PYTHON' >>"$work/accounts.log" 2>&1 ||
import sys
from samba.auth import system_session
from samba.param import LoadParm
from samba.samdb import SamDB

folder, password = sys.argv[1], sys.argv[2]
lp = LoadParm()
lp.load(folder + "/etc/smb.conf")
samdb = SamDB(url=folder + "/private/sam.ldb", session_info=system_session(), lp=lp)
for name in ["homedel", "homemove", "homerename", "homecopy", "homeplain", "homelocal"]:
    samdb.newuser(name, password, homedrive="H:", homedirectory="\\\\DC1\\homes$\\" + name)
# Set by mistake to the share that holds everyone's folders.
samdb.newuser("homeshare", password, homedrive="H:", homedirectory="\\\\DC1\\homes$")
samdb.newcomputer("WSCHILD")
computer = str(samdb.search(expression="(sAMAccountName=WSCHILD$)", attrs=["dn"])[0].dn)
samdb.add({"dn": "CN=VantrelService," + computer, "objectClass": "serviceConnectionPoint",
           "keywords": ["vantrel-test"]})
PYTHON
  { cat "$work/accounts.log" >&2; exit 1; }

log "starting DC1"
start_dc 1

log "joining DC2"
mapfile -t options2 < <(dc_options 2)
samba-tool domain join "$REALM" DC --quiet --targetdir="$work/dc2" --server="$DC1_IP" \
  --dns-backend=SAMBA_INTERNAL "--option=netbios name=DC2" \
  -U "$DOMAIN\\Administrator%$ADMIN_PASSWORD" --use-kerberos=off "${options2[@]}" >"$work/dc2/join.log" 2>&1 ||
  { tail -n 40 "$work/dc2/join.log" >&2; exit 1; }
log "starting DC2"
start_dc 2
# DC2 registers its LDAP service name itself once it runs, in its own database: until replication
# brings it to DC1, DC1's KDC would give no ticket for ldap/dc2 (a real domain has it long since).
samba-tool spn add "ldap/dc2.$realm_lower" 'DC2$' -H "ldap://$DC1_IP" \
  -U "$DOMAIN\\Administrator%$ADMIN_PASSWORD" --use-kerberos=off >>"$work/dc2/join.log" 2>&1 || true

# Kerberos configurations: one that reaches both controllers, and one for each controller alone,
# with which a logon is recorded on that controller only (lastLogon is not replicated).
write_krb5() {  # file kdc...
  local file="$1"; shift
  {
    printf '[libdefaults]\n  default_realm = %s\n  dns_lookup_kdc = false\n  dns_lookup_realm = false\n' "$REALM"
    printf '  dns_canonicalize_hostname = false\n  rdns = false\n'
    printf '[realms]\n  %s = {\n' "$REALM"
    for kdc in "$@"; do printf '    kdc = %s\n' "$kdc"; done
    printf '  }\n[domain_realm]\n  .%s = %s\n  %s = %s\n' "$realm_lower" "$REALM" "$realm_lower" "$REALM"
  } >"$file"
}
write_krb5 "$work/krb5.conf" "$DC1_IP" "$DC2_IP"
write_krb5 "$work/krb5-dc1.conf" "$DC1_IP"
write_krb5 "$work/krb5-dc2.conf" "$DC2_IP"

logon() {  # dc user
  echo "$USER_PASSWORD" | KRB5_CONFIG="$work/krb5-dc$1.conf" KRB5CCNAME="FILE:$work/logon.ccache" \
    kinit "$2@$REALM" >/dev/null
  rm -f "$work/logon.ccache"
}
log "recording logons"
logon 1 dc1user
logon 2 dc2user
logon 1 bothuser
logon 2 bothuser
for i in $(seq 1 20); do logon $((i % 2 + 1)) "$(printf 'user%02d' "$i")"; done

# The client side: a workstation's smb.conf with its own state folders, and the Administrator's tickets.
mkdir -p "$work/client"
cat >"$work/client/smb.conf" <<EOF
[global]
  workgroup = $DOMAIN
  realm = $REALM
  security = ads
  netbios name = VANTRELWS
  interfaces = 127.0.0.1
  bind interfaces only = yes
  private dir = $work/client
  lock dir = $work/client
  state directory = $work/client
  cache directory = $work/client
  pid directory = $work/client
  log level = 0
EOF
echo "$ADMIN_PASSWORD" | KRB5_CONFIG="$work/krb5.conf" KRB5CCNAME="FILE:$work/admin.ccache" \
  kinit "Administrator@$REALM" >/dev/null
# The client joins the domain too, so that its own account can be used instead of tickets.
log "joining the client"
KRB5_CONFIG="$work/krb5.conf" KRB5CCNAME="FILE:$work/admin.ccache" \
  net ads join -s "$work/client/smb.conf" --use-kerberos=required --no-dns-updates >"$work/client/join.log" 2>&1 ||
  { cat "$work/client/join.log" >&2; exit 1; }

cat >"$work/domain.env" <<EOF
REALM=$REALM
DOMAIN=$DOMAIN
DC1=DC1
DC2=DC2
SCRIPT=$script
SHARES=$work/shares
EOF
# An NTLM-only use of the domain (an SMB session with a password, as file shares and non-domain
# machines make): Samba records it in the replicated lastLogonTimestamp only, never in lastLogon.
if command -v smbclient >/dev/null; then
  smbclient -s "$work/client/smb.conf" -L "//$DC2_IP" -U "$DOMAIN\\ntlmuser%$USER_PASSWORD" \
    --use-kerberos=off >"$work/ntlm.log" 2>&1 || { cat "$work/ntlm.log" >&2; exit 1; }
  echo "NTLM_LOGON=ntlmuser" >>"$work/domain.env"
fi
export SMB_CONF_PATH="$work/client/smb.conf"
export KRB5_CONFIG="$work/krb5.conf"
export KRB5CCNAME="FILE:$work/admin.ccache"
log "domain ready in $((SECONDS - started)) s"
echo "$((SECONDS - started))" >"$work/startup-seconds"

"$@"
