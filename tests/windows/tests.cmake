# The Windows build's tests: the GoogleTest programs run under Wine through
# CMAKE_CROSSCOMPILING_EMULATOR, and the end-to-end checks of pixeldemo.exe under Wine
# (tests/windows/*.sh, run by bash on the Linux machine that built it).
#
# The unit tests marked NATIVE_ONLY in unit/CMakeLists.txt are left out, each with its reason.

# End to end: pixeldemo.exe under Wine. The Linux scripts run it through wine-pixeldemo.sh;
# the others compare it with the native build (DEMO_NATIVE_BUILD, the build of the asset
# tool) or drive what is particular to Windows.
get_filename_component(DEMO_NATIVE_BUILD ${DEMO_ASSETGEN} DIRECTORY)
set(_wine_demo ${CMAKE_CURRENT_SOURCE_DIR}/windows/wine-pixeldemo.sh)
set(_wine_env PIXELDEMO_EXE=$<TARGET_FILE:pixeldemo>)

add_test(NAME win_e2e_capture COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/e2e_capture.sh ${_wine_demo})
add_test(NAME win_e2e_window COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/e2e_window.sh ${_wine_demo})
set_tests_properties(win_e2e_capture win_e2e_window PROPERTIES ENVIRONMENT "${_wine_env}"
                     TIMEOUT 300 SKIP_RETURN_CODE 77)
# A POSIX signal sent to the Wine process does not reach the Windows program as a console
# interrupt (it has no Wine console), so the capture and bench run through: the script's
# signal cases are left out here.
set_tests_properties(win_e2e_capture PROPERTIES ENVIRONMENT "${_wine_env};E2E_SIGNALS=0")
# The same full screen, as a double click starts it.
add_test(NAME win_e2e_full_screen COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/e2e_window.sh ${_wine_demo})
# Each in a Wine session of its own, which takes a few seconds to open its first window; so
# the demo plays longer before it is looked at, and from scene 3, where no frame is black.
# The hidden-window check is left out: an X unmap made by another client is not a Windows
# minimise, and under Wine the program's window, once unmapped so, never reports itself
# shown again (no FPS line after xdotool maps it back; measured with Wine 8 and Xvfb).
set(_window_env
    "${_wine_env};PIXELDEMO_NEW_WINE_SESSION=1;E2E_PLAY_SECONDS=8;E2E_START=30;E2E_HIDDEN=0")
set_tests_properties(win_e2e_window PROPERTIES RUN_SERIAL TRUE ENVIRONMENT "${_window_env}")
set_tests_properties(win_e2e_full_screen PROPERTIES RUN_SERIAL TRUE TIMEOUT 300 SKIP_RETURN_CODE 77
                     ENVIRONMENT "${_window_env};E2E_FULL_SCREEN=1")

add_test(NAME win_capture_compare
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/capture_compare.sh
                 ${DEMO_NATIVE_BUILD}/pixeldemo ${_wine_demo})
add_test(NAME win_bad_inputs
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/bad_inputs.sh
                 ${DEMO_NATIVE_BUILD}/pixeldemo ${_wine_demo})

# Small Windows programs the scripts run beside the demo: a stand-in ffmpeg.exe (there is no
# Windows ffmpeg to be had here), a reader of a box's text, a reader of a program's
# resources. Each takes its arguments in UTF-16 (wmain).
foreach(_tool standin_ffmpeg window_text exe_info)
  add_executable(${_tool} ${CMAKE_CURRENT_SOURCE_DIR}/windows/${_tool}.cpp)
  target_link_options(${_tool} PRIVATE -municode)
  demo_warnings(${_tool})
endforeach()
set_target_properties(standin_ffmpeg PROPERTIES OUTPUT_NAME ffmpeg
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/standin)
target_link_libraries(exe_info PRIVATE version)

add_test(NAME win_video
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/video.sh
                 ${DEMO_NATIVE_BUILD}/pixeldemo ${_wine_demo} $<TARGET_FILE:standin_ffmpeg>)
# Accented and Japanese folder names for data, capture, sheet, plot and video.
add_test(NAME win_unicode_paths
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/unicode_paths.sh
                 ${_wine_demo} $<TARGET_FILE:standin_ffmpeg>)
# Version information, icon, manifest, --version, no build machine's folders.
add_test(NAME win_identity
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/identity.sh
                 ${_wine_demo} $<TARGET_FILE:exe_info> ${PROJECT_VERSION} ${PROJECT_SOURCE_DIR})

set_tests_properties(win_capture_compare win_bad_inputs win_video win_unicode_paths win_identity
                     PROPERTIES ENVIRONMENT "${_wine_env}" TIMEOUT 600)

# A failed start-up after a double click: the box, on an X display and in a Wine session of
# its own (so alone), its screen grab kept in startup_box/.
add_test(NAME win_startup_box
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/startup_box.sh
                 ${_wine_demo} $<TARGET_FILE:window_text> ${CMAKE_CURRENT_BINARY_DIR}/startup_box)
set_tests_properties(win_startup_box PROPERTIES ENVIRONMENT "${_wine_env}" TIMEOUT 300
                     RUN_SERIAL TRUE)
