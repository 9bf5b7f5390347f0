# A database engine's loadable module named b64num.so, with the tools' decoder
# compiled in, so that SQL decodes exactly as the tools do. Nothing may throw
# through the engine's C frames, so the module is built without exceptions
# and needs nothing from the C++ runtime; and every function of a module is
# exported, which would keep the compiler from calling the decoder directly,
# were it not told that nothing replaces it (-fno-semantic-interposition).
#
# b64num_engine_module(TARGET HEADERS_DIR SOURCE...): HEADERS_DIR holds the
# engine's headers, included as system headers, so that what C++ warns of in
# them does not turn off this project's warnings for its own code.
function(b64num_engine_module target headers_dir)
    add_library(${target} MODULE ${ARGN} ${PROJECT_SOURCE_DIR}/core/base64.cpp
                                         ${PROJECT_SOURCE_DIR}/core/lstat.cpp)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME b64num PREFIX "")
    target_include_directories(${target} SYSTEM PRIVATE ${headers_dir})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/core)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti
                                             -fno-semantic-interposition)
    target_link_libraries(${target} PRIVATE b64num_warnings)
    target_link_options(${target} PRIVATE LINKER:--as-needed)
endfunction()
