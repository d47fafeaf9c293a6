# ks_platform_io: files, formatting, time and the serial port of the run-time.
# Qt Core and Qt SerialPort only (no widgets), so tools such as the tester simulator link it
# without a display.
find_package(Qt6 REQUIRED COMPONENTS Core SerialPort)

set(KS_PLATFORM_IO_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fmt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
)
foreach(optional serial.cpp port_map.cpp)
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${optional})
    list(APPEND KS_PLATFORM_IO_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${optional})
  endif()
endforeach()

add_library(ks_platform_io STATIC ${KS_PLATFORM_IO_SOURCES})
target_link_libraries(ks_platform_io PUBLIC Qt6::Core Qt6::SerialPort)
