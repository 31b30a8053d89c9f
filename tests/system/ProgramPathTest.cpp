#include "ProgramPath.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace halvio::platform;

TEST(ProgramPath, IsTheRunningProgramFile) {
    EXPECT_EQ(programPath(), QCoreApplication::applicationFilePath().toStdString());
    EXPECT_EQ(programFolder(), QCoreApplication::applicationDirPath().toStdString() + "/");
    EXPECT_EQ(programFolder() + "halvio_system_tests", programPath());
}

TEST(ProgramPath, JoinPutsOneSeparatorBetween) {
    struct Case {
        const char* folder;
        const char* name;
        const char* joined;
    };
    const Case cases[] = {
        {"/opt/halvio", "update", "/opt/halvio/update"},
        {"/opt/halvio/", "kliso.ini", "/opt/halvio/kliso.ini"},
        {"/opt/halvio/update", "HALVIO01.zip", "/opt/halvio/update/HALVIO01.zip"},
        {"", "copie.exe", "copie.exe"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(joinPath(c.folder, c.name), c.joined) << c.folder << " + " << c.name;
}

TEST(ProgramPath, FolderOfAFileKeepsItsLastSeparator) {
    struct Case {
        const char* file;
        const char* folder;
    };
    const Case cases[] = {
        {"/opt/halvio/maj_kliso.exe", "/opt/halvio/"},
        {"/opt/halvio/update/", "/opt/halvio/update/"},
        {"/maj_kliso.exe", "/"},
        {"maj_kliso.exe", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(folderOf(c.file), c.folder) << c.file;
}
