# Extra wiring for the display, audio, timeline and end-to-end tests.

# The timeline tests reach the entry routine's testable parts.
foreach(t test_timeline test_timeline_capture)
  if(TARGET ${t})
    target_link_libraries(${t} PRIVATE demo_core)
  endif()
endforeach()

# The audio tests make their own MP3 files with LAME.
if(TARGET test_audio)
  pkg_check_modules(TEST_LAME REQUIRED IMPORTED_TARGET lame)
  target_link_libraries(test_audio PRIVATE PkgConfig::TEST_LAME)
endif()

# End to end: the demo itself, headless and on a real (virtual) X display.
add_test(NAME e2e_capture
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e_capture.sh $<TARGET_FILE:pixeldemo>)
set_tests_properties(e2e_capture PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
add_test(NAME e2e_window
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e_window.sh $<TARGET_FILE:pixeldemo>)
set_tests_properties(e2e_window PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)
add_test(NAME e2e_video
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e_video.sh $<TARGET_FILE:pixeldemo>)
set_tests_properties(e2e_video PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
add_test(NAME e2e_fullscreen
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e_fullscreen.sh $<TARGET_FILE:pixeldemo>
                 $<TARGET_FILE:test_display_present>)
set_tests_properties(e2e_fullscreen PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77 RUN_SERIAL TRUE)

# The golden frames run the whole demo but its entry routine.
if(TARGET test_golden_frames)
  target_link_libraries(test_golden_frames PRIVATE demo_core)
endif()
