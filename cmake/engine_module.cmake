# A database engine's loadable module named b64num.so, linking the decoder
# core, so that SQL decodes exactly as the tools do. Nothing may throw
# through the engine's C frames, so the module is built without exceptions
# and needs nothing from the C++ runtime. Servers load modules into one
# symbol scope, so a module is built with hidden visibility and exports
# only the entry points that its source marks for the engine.
#
# b64num_engine_module(TARGET HEADERS_DIR SOURCE...): HEADERS_DIR holds the
# engine's headers, included as system headers, so that what C++ warns of in
# them does not turn off this project's warnings for its own code.
#
# B64NUM_FUNCTIONS_VERSION is the version of what the functions return, the
# PostgreSQL extension's, raised with every change of it: each engine's
# b64num_library_version() gives it, so that a session opened before an
# upgrade can tell that it still runs the library it loaded then.
set(B64NUM_FUNCTIONS_VERSION 1.4)
function(b64num_engine_module target headers_dir)
    add_library(${target} MODULE ${ARGN})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME b64num PREFIX ""
                                               CXX_VISIBILITY_PRESET hidden
                                               VISIBILITY_INLINES_HIDDEN ON)
    target_include_directories(${target} SYSTEM PRIVATE ${headers_dir})
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
    target_compile_definitions(${target} PRIVATE
                               B64NUM_LIBRARY_VERSION="${B64NUM_FUNCTIONS_VERSION}")
    target_link_libraries(${target} PRIVATE b64num_core b64num_warnings)
    target_link_options(${target} PRIVATE LINKER:--as-needed)
endfunction()
