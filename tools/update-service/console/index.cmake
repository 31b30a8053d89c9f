# The data side of the vendor's console: the reader of stored client reports and their SQLite index.
if(NOT TARGET PkgConfig::HALVIO_SQLITE3)
    pkg_check_modules(HALVIO_SQLITE3 REQUIRED IMPORTED_TARGET GLOBAL sqlite3)
endif()

add_library(halvio_console_index STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CatalogNames.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IndexSchema.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReportDates.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReportIndex.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReportIndexQueries.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReportLineGrammar.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReportParser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SearchFold.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SqliteDatabase.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StoredReportName.cpp
)
target_include_directories(halvio_console_index PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(halvio_console_index PUBLIC halvio_update_service halvio_common
    PRIVATE PkgConfig::HALVIO_SQLITE3 halvio_warnings)
