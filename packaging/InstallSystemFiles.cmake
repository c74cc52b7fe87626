# Install-time part of packaging/CMakeLists.txt: writes the files that name
# absolute paths for the prefix this install runs with and installs them.
# Set by the caller: QV_COMPONENT (agent|server), QV_SOURCE_DIR, QV_WORK_DIR,
# QV_BINDIR, QV_LIBDIR, QV_DATADIR (relative to the prefix), QV_UNIT_DIR
# (empty: the default for the prefix).
#
#   prefix /usr         settings in /etc/quorvane, units in /lib/systemd/system
#   any other prefix P  settings in P/etc/quorvane, units in P/lib/systemd/system

set(prefix "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/+$" "" prefix "${prefix}")
if(prefix STREQUAL "/usr")
  set(sysconf "/etc")
  set(unit_dir "/lib/systemd/system")
else()
  set(sysconf "${prefix}/etc")
  set(unit_dir "${prefix}/lib/systemd/system")
endif()
if(QV_UNIT_DIR)
  set(unit_dir "${QV_UNIT_DIR}")
endif()

# The names the templates use.
set(QUORVANE_BINDIR "${prefix}/${QV_BINDIR}")
set(QUORVANE_CONFDIR "${sysconf}/quorvane")
set(QUORVANE_REPORTDIR "${prefix}/${QV_LIBDIR}/quorvane")
set(QUORVANE_AGENT_STATE "/var/lib/quorvane-agent")
set(QUORVANE_SERVER_STATE "/var/lib/quorvane-server")

set(work "${QV_WORK_DIR}/${QV_COMPONENT}")
file(MAKE_DIRECTORY "${work}")
function(qv_install_configured template destination)
  get_filename_component(name "${template}" NAME)
  string(REGEX REPLACE "\\.in$" "" name "${name}")
  configure_file("${QV_SOURCE_DIR}/${template}" "${work}/${name}" @ONLY)
  file(INSTALL DESTINATION "${destination}" TYPE FILE PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
       FILES "${work}/${name}")
endfunction()

if(QV_COMPONENT STREQUAL "agent")
  qv_install_configured(debian/clientSettings.txt.in "${QUORVANE_CONFDIR}")
  qv_install_configured(debian/quorvane-agent.service.in "${unit_dir}")
else()
  qv_install_configured(debian/serverSettings.txt.in "${QUORVANE_CONFDIR}")
  qv_install_configured(debian/quorvane-server.service.in "${unit_dir}")
  qv_install_configured(debian/quorvane-console.desktop.in "${prefix}/${QV_DATADIR}/applications")
endif()
