# Shell library: starts and stops the local stack (MariaDB, the reference file server, the SMTP
# server) on free loopback ports, all state under one run folder. Sourced by scripts/test and
# scripts/demo.
#
#   services_start RUN_DIR [SQL_FILE...]   start everything, load schema.sql and the given files,
#                                          write RUN_DIR/env with the VARDEX_* settings
#   services_stop RUN_DIR                  stop whatever was started, whatever state it is in

VARDEX_ROOT=${VARDEX_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
SOREV_DB_PASSWORD_LOCAL="sorev-local-pw"   # the local server's account password, nothing else
SMTP_USER_LOCAL="arm@vetlan.test"
SMTP_PASSWORD_LOCAL="smtp-local-pw"

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

wait_for_port() {  # port, seconds
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "service on port $1 did not come up" >&2
  return 1
}

start_db() {  # run_dir port
  local run=$1 port=$2 data=$1/db
  mkdir -p "$data"
  mariadb-install-db --no-defaults --datadir="$data" --user="$(id -un)" \
    --auth-root-authentication-method=normal --skip-test-db >"$run/db-install.log" 2>&1 || {
    cat "$run/db-install.log" >&2; return 1; }
  # The server's start as a script of its own: the tests run it again after stopping the
  # server, to see the workstation through a lost connection. Durable as a centre's server must
  # be (each commit on disk: a server killed mid-day keeps every save it confirmed), with room for
  # the region day's experts (a workstation holds one connection, its copy sender one more).
  # The doublewrite buffer guards against a machine's crash, which the tests do not make.
  cat >"$run/db-start" <<START
#!/usr/bin/env bash
mariadbd --no-defaults --datadir="$data" --user="$(id -un)" \\
  --port="$port" --bind-address=127.0.0.1,127.0.0.2 --socket="$run/db.sock" --pid-file="$run/db.pid" \\
  --skip-log-bin --innodb-flush-log-at-trx-commit=1 --innodb-doublewrite=0 --max-connections=500 \\
  --innodb-buffer-pool-size=64M --character-set-server=utf8mb4 \\
  --collation-server=utf8mb4_unicode_ci --log-error="$run/db.err" >>"$run/db.out" 2>&1 </dev/null &
echo \$! >"$run/db.proc"
START
  # Stopping and starting again, for the tests of a server gone away mid-work.
  cat >"$run/db-stop" <<STOP
#!/usr/bin/env bash
pid=\$(cat "$run/db.proc")
kill "\$pid"
for ((i = 0; i < 300; i++)); do kill -0 "\$pid" 2>/dev/null || break; sleep 0.1; done
STOP
  cat >"$run/db-up" <<UP
#!/usr/bin/env bash
source "$VARDEX_ROOT/scripts/services.sh"
bash "$run/db-start"
wait_for_port "$port" 60
UP
  cat >"$run/db-restart" <<RESTART
#!/usr/bin/env bash
bash "$run/db-stop" && bash "$run/db-up"
RESTART
  bash "$run/db-start"
  wait_for_port "$port" 60 || { cat "$run/db.err" >&2; return 1; }
  mariadb --no-defaults -uroot --socket="$run/db.sock" <<SQL
DELETE FROM mysql.global_priv WHERE User='';
FLUSH PRIVILEGES;
CREATE DATABASE sorev CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
CREATE USER 'sorev'@'localhost' IDENTIFIED BY '$SOREV_DB_PASSWORD_LOCAL';
CREATE USER 'sorev'@'%' IDENTIFIED BY '$SOREV_DB_PASSWORD_LOCAL';
GRANT ALL ON sorev.* TO 'sorev'@'localhost';
GRANT ALL ON sorev.* TO 'sorev'@'%';
SQL
}

load_sql() {  # run_dir file
  mariadb --no-defaults -uroot --socket="$1/db.sock" --default-character-set=utf8mb4 sorev <"$2"
}

start_files() {  # run_dir port
  local run=$1 root=$1/files
  rm -rf "$root"; mkdir -p "$root"
  cp -r "$VARDEX_ROOT"/services/files/root/. "$root/"
  mkdir -p "$root/testedwork"
  /usr/bin/python3 "$VARDEX_ROOT/services/files/make_documents.py" "$root" || return 1
  # Warnings go to the log, never into an answer: a printed warning would send the headers
  # early and turn a refusal (413) into a 200.
  cat >"$run/files-start" <<START
#!/usr/bin/env bash
PHP_CLI_SERVER_WORKERS=4 php -n -d upload_max_filesize=50M -d post_max_size=60M \\
  -d memory_limit=128M -d upload_tmp_dir="$run" -d display_errors=0 -d log_errors=1 \\
  -S "127.0.0.1:$2" -t "$root" "$VARDEX_ROOT/services/files/router.php" >>"$run/files.log" 2>&1 </dev/null &
echo \$! >"$run/files.proc"
START
  # Stopping and starting again, for the tests of a file server gone away mid-work.
  cat >"$run/files-stop" <<STOP
#!/usr/bin/env bash
pid=\$(cat "$run/files.proc")
pkill -P "\$pid" 2>/dev/null
kill "\$pid" 2>/dev/null
for ((i = 0; i < 100; i++)); do kill -0 "\$pid" 2>/dev/null || break; sleep 0.1; done
STOP
  cat >"$run/files-up" <<UP
#!/usr/bin/env bash
source "$VARDEX_ROOT/scripts/services.sh"
bash "$run/files-start"
wait_for_port "$2" 20
UP
  bash "$run/files-start"
  wait_for_port "$2" 20
}

start_mail() {  # run_dir port
  local run=$1 dir=$1/mail
  mkdir -p "$dir/letters"
  # A private CA and a server certificate for localhost signed by it, made anew at every start.
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vardex local CA" \
    -keyout "$dir/ca.key" -out "$dir/ca.pem" >/dev/null 2>&1
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
    -keyout "$dir/server.key" -out "$dir/server.csr" >/dev/null 2>&1
  printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' >"$dir/san.ext"
  openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
    -CAcreateserial -days 2 -extfile "$dir/san.ext" -out "$dir/server.pem" >/dev/null 2>&1
  /usr/bin/python3 "$VARDEX_ROOT/services/mail/smtpd.py" --port "$2" --cert "$dir/server.pem" \
    --key "$dir/server.key" --user "$SMTP_USER_LOCAL" --password "$SMTP_PASSWORD_LOCAL" \
    --letters "$dir/letters" >"$run/mail.log" 2>&1 &
  echo $! >"$run/mail.proc"
  wait_for_port "$2" 20
}

services_start() {
  local run=$1; shift
  mkdir -p "$run"
  local db_port files_port smtp_port
  db_port=$(free_port); files_port=$(free_port); smtp_port=$(free_port)
  start_db "$run" "$db_port" || return 1
  load_sql "$run" "$VARDEX_ROOT/services/db/schema.sql" || return 1
  local f
  for f in "$@"; do load_sql "$run" "$f" || return 1; done
  start_files "$run" "$files_port" || return 1
  start_mail "$run" "$smtp_port" || return 1
  cat >"$run/env" <<ENV
export VARDEX_DB_HOST=127.0.0.1
export VARDEX_DB_PORT=$db_port
export VARDEX_DB_INTRANET_HOST=127.0.0.2
export VARDEX_DB_INTRANET_PORT=$db_port
export VARDEX_DB_PASSWORD='$SOREV_DB_PASSWORD_LOCAL'
export VARDEX_FILES_URL=http://127.0.0.1:$files_port/
export VARDEX_SMTP_HOST=localhost
export VARDEX_SMTP_PORT=$smtp_port
export VARDEX_SMTP_USER='$SMTP_USER_LOCAL'
export VARDEX_SMTP_PASSWORD='$SMTP_PASSWORD_LOCAL'
export VARDEX_SMTP_CA=$run/mail/ca.pem
export VARDEX_SITE_URL=https://vetlan.test/
export VARDEX_TEST_DB_SOCKET=$run/db.sock
export VARDEX_TEST_DB_RESTART=$run/db-restart
export VARDEX_TEST_DB_STOP=$run/db-stop
export VARDEX_TEST_DB_UP=$run/db-up
export VARDEX_TEST_FILES_ROOT=$run/files
export VARDEX_TEST_FILES_STOP=$run/files-stop
export VARDEX_TEST_FILES_UP=$run/files-up
export VARDEX_TEST_LETTERS=$run/mail/letters
ENV
}

services_stop() {
  local run=$1 p
  for p in mail files db; do
    [ -f "$run/$p.proc" ] || continue
    # the PHP server's workers are children of the recorded process: stop them too
    pkill -P "$(cat "$run/$p.proc")" 2>/dev/null
    kill "$(cat "$run/$p.proc")" 2>/dev/null
  done
  for p in mail files db; do
    [ -f "$run/$p.proc" ] || continue
    local pid i; pid=$(cat "$run/$p.proc")
    for ((i = 0; i < 100; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    rm -f "$run/$p.proc"
  done
  return 0
}
