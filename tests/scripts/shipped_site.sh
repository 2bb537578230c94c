# Sourced by the checks that run the nginx site shipped for vendors: writes
# $work/nginx/nginx.conf serving that site as it stands, but on a loopback
# port and a scratch root.
# Usage: write_shipped_site SITE_CONF PORT ROOT WORK
write_shipped_site() {
  local site=$1 port=$2 root=$3 work=$4
  mkdir -p "$root" "$work/nginx"
  sed -e "s|listen 80;|listen 127.0.0.1:$port;|" -e '/listen \[::\]:80;/d' \
      -e "s|root /srv/korvan-updates;|root $root;|" \
      -e "s|access_log [^;]*;|access_log $work/nginx/access.log;|" \
      "$site" >"$work/nginx/site.conf"
  cat >"$work/nginx/nginx.conf" <<CONF
$( [ "$(id -u)" = 0 ] && echo "user root root;" )
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 64; }
http {
    include /etc/nginx/mime.types;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    include $work/nginx/site.conf;
}
CONF
}
