# The version the program shows and tells the portal, for the top-level project and for the
# builds of tests/fuzz and tests/win, which reach it through base/version.h.
set(OSTREL_VERSION 6.9)
