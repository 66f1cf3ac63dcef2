# Writes into the package wixl built from zentrada.wxs what wixl cannot
# express, through the package's SQL (msibuild -q):
#   cmake -DMSI=<package> -DMSIBUILD=<msibuild> -DMSIINFO=<msiinfo> -P msi_tables.cmake
cmake_minimum_required(VERSION 3.25)
foreach(name MSI MSIBUILD MSIINFO)
  if(NOT ${name})
    message(FATAL_ERROR "${name} must be given: see installer/CMakeLists.txt")
  endif()
endforeach()

# Components installed only on request: the Component table's Condition
# column, which wixl leaves empty (it rejects <Condition> in a component).
# The two components of the console host exclude each other.
set(component_conditions
  Console "SERVICE<>\"1\""
  ConsoleService "SERVICE=\"1\""
  VirtualPrinter "DEMO=\"1\""
  AutoStart "AUTOSTART=\"1\"")

# Properties set from the components an installed version registered
# (wixl has no ComponentSearch): the directory of the component's key file,
# or nothing when the component is not installed. zentrada.wxs takes them
# as INSTALLFOLDER, DEMO and SERVICE when those are not given.
set(component_searches
  PreviousInstallFolder Programs
  PreviousDemo VirtualPrinter
  PreviousService ConsoleService)

# The public properties a per-machine install takes from the command line
# even when the one who runs it is no administrator.
set(secure_properties INSTALLFOLDER INPUTDIR OUTPUTDIR DEMO AUTOSTART SERVICE)

function(run_sql query)
  execute_process(COMMAND ${MSIBUILD} ${MSI} -q "${query}" RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "msibuild failed on: ${query}\n${error}")
  endif()
endfunction()

# A table as text: msiinfo's three lines of column names, types and keys,
# then a line of tab-separated columns for each row.
function(read_table table out)
  execute_process(COMMAND ${MSIINFO} export ${MSI} ${table} OUTPUT_VARIABLE text RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "msiinfo could not read the ${table} table of ${MSI}")
  endif()
  string(REPLACE "\r\n" "\n" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

read_table(Component components)
function(component_guid component out)
  if(NOT components MATCHES "\n${component}\t([^\t\n]+)\t")
    message(FATAL_ERROR "no component ${component} in ${MSI}")
  endif()
  set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

while(component_conditions)
  list(POP_FRONT component_conditions component condition)
  component_guid(${component} guid)  # fails on a name zentrada.wxs lost
  run_sql("UPDATE `Component` SET `Condition` = '${condition}' WHERE `Component` = '${component}'")
endwhile()

# Type 1: the key path is a file; with no signature to match, the property
# takes the file's directory, ending in a backslash.
run_sql("CREATE TABLE `CompLocator` (`Signature_` CHAR(72) NOT NULL, `ComponentId` CHAR(38) NOT NULL, `Type` SHORT PRIMARY KEY `Signature_`)")
while(component_searches)
  list(POP_FRONT component_searches property component)
  component_guid(${component} guid)
  run_sql("INSERT INTO `CompLocator` (`Signature_`, `ComponentId`, `Type`) VALUES ('${component}Search', '${guid}', 1)")
  run_sql("INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('${property}', '${component}Search')")
endwhile()

# Another package of the same version (a rebuild) replaces the installed
# one rather than being installed beside it, as a higher version does: the
# upgrade search takes the package's own version in (attributes: 1 migrate
# features, 512 maximum included); the downgrade search already leaves it
# out. The attributes are part of the row's key, so the row is replaced.
read_table(Upgrade upgrades)
if(NOT upgrades MATCHES "\n([^\t\n]+)\t\t([^\t\n]+)\t\t1\t\tWIX_UPGRADE_DETECTED\n")
  message(FATAL_ERROR "no upgrade search of <MajorUpgrade> as expected in the Upgrade table:\n${upgrades}")
endif()
set(upgrade_code "${CMAKE_MATCH_1}")
set(upgrade_max "${CMAKE_MATCH_2}")
run_sql("DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'")
run_sql("INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('${upgrade_code}', '${upgrade_max}', 513, 'WIX_UPGRADE_DETECTED')")

list(JOIN secure_properties ";" secure)
read_table(Property properties)
if(properties MATCHES "\nSecureCustomProperties\t([^\n]*)\n")
  run_sql("UPDATE `Property` SET `Value` = '${CMAKE_MATCH_1};${secure}' WHERE `Property` = 'SecureCustomProperties'")
else()
  run_sql("INSERT INTO `Property` (`Property`, `Value`) VALUES ('SecureCustomProperties', '${secure}')")
endif()
