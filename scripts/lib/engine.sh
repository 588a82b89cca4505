# Sourced by every script that starts the browser engine (test.sh, session.sh).
# Qt WebEngine will not start as root with its sandbox on. With the sandbox off, a renderer started
# after two pages have been deleted never comes up ("Failed to send Reap message to zygote"):
# --no-zygote starts each renderer directly.
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
    export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu --no-zygote}"
fi
