# Every destination address is compiled in. Each one is a cache variable with the organisation's
# address as default, so that a build can be pointed at loopback servers (see the standin preset).
set(OSTREL_PORTAL_URL "https://portaal.ostrel.nl" CACHE STRING "Portal base URL, no trailing /")
set(OSTREL_CONTACT_ORIGIN "https://portaal.ostrel.nl" CACHE STRING "Origin of the portal's contact page")
set(OSTREL_WEBSITE_ORIGIN "https://www.ostrel.nl" CACHE STRING "Public website (forms)")
set(OSTREL_DOWNLOAD_ORIGIN "https://download.ostrel.nl" CACHE STRING "Download site")
set(OSTREL_SERVICEDESK_ORIGIN "https://servicedesk.ostrel.nl" CACHE STRING "Service desk")
set(OSTREL_REMOTE_SUPPORT_URL "https://get.teamviewer.com/ostrelsupport" CACHE STRING
    "Remote-support download page: origin plus the support-module path")
set(OSTREL_POLICY_ORIGIN "https://polisvoorwaarden.ostrel.nl" CACHE STRING "Policy conditions")
set(OSTREL_PORTAAL_ORIGIN "https://www.ostrelportaal.nl" CACHE STRING "Ostrel Portaal site")
set(OSTREL_PIM_ORIGIN "https://pim.ostrel.nl" CACHE STRING "SME premium-indication site")
set(OSTREL_INTRANET_ORIGIN "http://intranet.ostrel.local" CACHE STRING "Intranet")
set(OSTREL_GATEWAY_PRIMARY_ORIGIN "https://ows.ostrel.nl" CACHE STRING "Primary remote-workplace gateway")
set(OSTREL_GATEWAY_SECONDARY_ORIGIN "https://ows2.ostrel.nl" CACHE STRING
    "Secondary remote-workplace gateway")
set(OSTREL_WEB_ADDRESS "www.ostrel.nl" CACHE STRING "Bare host name of the header's web-address link")
set(OSTREL_INFO_MAIL "info@ostrel.nl" CACHE STRING "E-mail address of the header's mail link")

foreach(var OSTREL_PORTAL_URL OSTREL_REMOTE_SUPPORT_URL)
    if(${var} MATCHES "/$")
        message(FATAL_ERROR "${var} must not end in /: ${${var}}")
    endif()
endforeach()

# The stand-in portal serves every role at the address the program was built with; one argument
# list for it, so the run script and the tests start it exactly where this build looks.
set(OSTREL_STANDIN_ARGS
    "portal=${OSTREL_PORTAL_URL}"
    "contact=${OSTREL_CONTACT_ORIGIN}"
    "website=${OSTREL_WEBSITE_ORIGIN}"
    "download=${OSTREL_DOWNLOAD_ORIGIN}"
    "servicedesk=${OSTREL_SERVICEDESK_ORIGIN}"
    "remotesupport=${OSTREL_REMOTE_SUPPORT_URL}"
    "policy=${OSTREL_POLICY_ORIGIN}"
    "portaal=${OSTREL_PORTAAL_ORIGIN}"
    "pim=${OSTREL_PIM_ORIGIN}"
    "intranet=${OSTREL_INTRANET_ORIGIN}"
    "gateway1=${OSTREL_GATEWAY_PRIMARY_ORIGIN}"
    "gateway2=${OSTREL_GATEWAY_SECONDARY_ORIGIN}")
