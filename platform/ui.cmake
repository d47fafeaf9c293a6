# ks_platform: the panel-and-control run-time on Qt Widgets (+ PrintSupport).
add_library(ks_platform STATIC
  ${CMAKE_CURRENT_LIST_DIR}/rt_model.h
  ${CMAKE_CURRENT_LIST_DIR}/rt_testing_hooks.h
  ${CMAKE_CURRENT_LIST_DIR}/rt_objects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rt_attributes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rt_values.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rt_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rt_events.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rt_resource.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rt_dialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rt_errors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rt_testing.cpp
)
target_link_libraries(ks_platform PUBLIC Qt6::Widgets Qt6::PrintSupport)
if(TARGET ks_platform_io)
  target_link_libraries(ks_platform PUBLIC ks_platform_io)
  target_compile_definitions(ks_platform PRIVATE KS_HAVE_PLATFORM_IO)
endif()
if(TARGET ks_toolbox_core)
  target_link_libraries(ks_platform PUBLIC ks_toolbox_core)
  target_compile_definitions(ks_platform PRIVATE KS_HAVE_TOOLBOX_CORE)
endif()
