# ks_platform_io: files, formatting, time and the serial port of the run-time.
# Qt Core and Qt SerialPort only (no widgets), so command-line tools and their tests link it
# without a display.
find_package(Qt6 REQUIRED COMPONENTS Core SerialPort)

add_library(ks_platform_io STATIC
  ${CMAKE_CURRENT_LIST_DIR}/files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fmt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serial.cpp
  ${CMAKE_CURRENT_LIST_DIR}/port_map.cpp
)
target_link_libraries(ks_platform_io PUBLIC Qt6::Core Qt6::SerialPort)
