# The configuration templates travel inside the library as byte arrays, so that installing them
# needs no data folder. Included by src/CMakeLists.txt to set up the step; run with -P to write
# the generated source.
if(CMAKE_SCRIPT_MODE_FILE)
    file(GLOB_RECURSE _files RELATIVE ${TEMPLATE_DIR} ${TEMPLATE_DIR}/*)
    list(SORT _files)
    set(_arrays "")
    set(_entries "")
    set(_n 0)
    foreach(_f IN LISTS _files)
        file(READ ${TEMPLATE_DIR}/${_f} _hex HEX)
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
        string(APPEND _arrays "const unsigned char file${_n}[] = {${_bytes}};\n")
        string(APPEND _entries "    {\"${_f}\", {reinterpret_cast<const char *>(file${_n}), sizeof file${_n}}},\n")
        math(EXPR _n "${_n} + 1")
    endforeach()
    file(WRITE ${OUTPUT}.new
        "// Generated from templates/ at build time; edit the templates, not this file.\n"
        "#include \"config/Templates.h\"\n\n"
        "namespace vantrell {\nnamespace {\n${_arrays}\n"
        "const TemplateFile files[] = {\n${_entries}};\n} // namespace\n\n"
        "std::span<const TemplateFile> templateFiles() { return files; }\n\n"
        "} // namespace vantrell\n")
    file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
    file(REMOVE ${OUTPUT}.new)
    return()
endif()

function(vantrell_embed_templates target template_dir)
    file(GLOB_RECURSE _templates CONFIGURE_DEPENDS ${template_dir}/*)
    set(_out ${CMAKE_CURRENT_BINARY_DIR}/generated/TemplateFiles.cpp)
    add_custom_command(
        OUTPUT ${_out}
        COMMAND ${CMAKE_COMMAND} -DTEMPLATE_DIR=${template_dir} -DOUTPUT=${_out}
                -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
        DEPENDS ${_templates} ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
        COMMENT "Embedding the configuration templates"
        VERBATIM)
    target_sources(${target} PRIVATE ${_out})
endfunction()
