#include "KlisoIni.h"

#include "Files.h"
#include "SystemError.h"
#include "TextLines.h"

#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace halvio;

namespace {

struct TempIni {
    QTemporaryDir dir;
    std::string path = dir.path().toStdString() + "/kliso.ini";
};

} // namespace

TEST(KlisoIniLookup, FollowsTheLookupRules) {
    struct Case {
        const char* what;
        std::string text;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"plain", "SERVEUR=srv\r\nDATABASE=c:\\clinique\\kliso.ib\r\n", "DATABASE", "c:\\clinique\\kliso.ib"},
        {"key in lower case in the file", "serveur=srv\r\n", "SERVEUR", "srv"},
        {"key asked in another case", "BETA=O\r\n", "beta", "O"},
        {"blank before = counts for no key", "SERVEUR =x\r\n", "SERVEUR", ""},
        {"blank before = is part of the name", "SERVEUR =x\r\n", "SERVEUR ", "x"},
        {"blank after = stays", "SERVEUR= srv \r\n", "SERVEUR", " srv "},
        {"first counting line wins", "DATABASE=a\r\nDATABASE=b\r\n", "DATABASE", "a"},
        {"an earlier line for another key does not count", "DATABASEX=a\r\nDATABASE=b\r\n", "DATABASE", "b"},
        {"value is everything after the first =", "DATABASE=a=b\r\n", "DATABASE", "a=b"},
        {"line without = is ignored", "DATABASE\r\nDATABASE=b\r\n", "DATABASE", "b"},
        {"missing key", "SERVEUR=srv\r\n", "DATABASE", ""},
        {"empty value", "SERVEUR=\r\nSERVEUR=srv\r\n", "SERVEUR", ""},
        {"section lines are plain lines", "[base]\r\nSERVEUR=srv\r\n", "SERVEUR", "srv"},
        {"CR only", "SERVEUR=srv\rDATABASE=d:\\data\\kliso.ib\r", "DATABASE", "d:\\data\\kliso.ib"},
        {"LF only", "SERVEUR=srv\nDATABASE=d:\\data\\kliso.ib", "SERVEUR", "srv"},
        {"no line break in the value", "SERVEUR=srv\n", "SERVEUR", "srv"},
        {"Windows-1252 bytes kept", "DATABASE=c:\\cliniqu\xE9\\kliso.ib\r\n", "DATABASE",
         "c:\\cliniqu\xE9\\kliso.ib"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(iniValue(splitLines(c.text), c.key), c.value) << c.what;
}

TEST(KlisoIniLookup, NamesTheDatabasesAndTicksBeta) {
    struct Case {
        const char* what;
        std::string text;
        const char* clinic;
        const char* fax;
        bool ticks;
    };
    const Case cases[] = {
        {"server and path", "SERVEUR=srv\r\nDATABASE=c:\\clinique\\kliso.ib\r\n",
         "srv:c:\\clinique\\kliso.ib", "srv:c:\\clinique\\fax.ib", false},
        {"empty server", "SERVEUR=\r\nDATABASE=d:\\data\\kliso.ib\r\n", "d:\\data\\kliso.ib",
         "d:\\data\\fax.ib", false},
        {"no server line", "DATABASE=d:\\data\\kliso.ib\r\n", "d:\\data\\kliso.ib", "d:\\data\\fax.ib",
         false},
        {"upper-case file name is not replaced", "DATABASE=C:\\CLINIQUE\\KLISO.IB\r\n",
         "C:\\CLINIQUE\\KLISO.IB", "C:\\CLINIQUE\\KLISO.IB", false},
        {"kliso.ib twice", "SERVEUR=srv\r\nDATABASE=/kliso.ib/kliso.ib\r\n", "srv:/kliso.ib/kliso.ib",
         "srv:/fax.ib/fax.ib", false},
        {"both empty", "SERVEUR=\r\nDATABASE=\r\n", "", "", false},
        {"server alone", "SERVEUR=srv\r\n", "srv:", "srv:", false},
        {"blank in server kept", "SERVEUR=srv \r\nDATABASE=/kliso.ib\r\n", "srv :/kliso.ib", "srv :/fax.ib",
         false},
        {"beta=O ticks", "beta=O\r\n", "", "", true},
        {"BETA=O ticks", "BETA=O\r\n", "", "", true},
        {"beta=N does not tick", "beta=N\r\n", "", "", false},
        {"lower-case o does not tick", "beta=o\r\n", "", "", false},
        {"blank after O does not tick", "beta=O \r\n", "", "", false},
        {"first beta line wins", "beta=N\r\nbeta=O\r\n", "", "", false},
    };
    for (const Case& c : cases) {
        const KlisoIniSettings settings = settingsFromKlisoIni(splitLines(c.text));
        EXPECT_EQ(settings.clinicConnection, c.clinic) << c.what;
        EXPECT_EQ(settings.faxConnection, c.fax) << c.what;
        EXPECT_EQ(settings.ticksDirectConnection, c.ticks) << c.what;
    }
}

TEST(KlisoIniFile, ReadsTheLinesOrFailsWhenMissing) {
    TempIni ini;
    EXPECT_THROW(readKlisoIni(ini.path), platform::SystemError);
    platform::writeWholeFile(ini.path, "SERVEUR=srv\rDATABASE=/data/kliso.ib\nbeta=O\r\n");
    EXPECT_EQ(readKlisoIni(ini.path),
              (std::vector<std::string>{"SERVEUR=srv", "DATABASE=/data/kliso.ib", "beta=O"}));
}

TEST(KlisoIniBeta, RewritesTheFirstBetaLineOrAppendsOne) {
    struct Case {
        const char* what;
        std::string before;
        bool direct;
        std::string after;
    };
    const Case cases[] = {
        {"third line BETA=N", "SERVEUR=srv\r\nDATABASE=/kliso.ib\r\nBETA=N\r\nX=1\r\n", true,
         "SERVEUR=srv\r\nDATABASE=/kliso.ib\r\nbeta=O\r\nX=1\r\n"},
        {"no beta line", "SERVEUR=srv\r\nDATABASE=/kliso.ib\r\n", true,
         "SERVEUR=srv\r\nDATABASE=/kliso.ib\r\nbeta=O\r\n"},
        {"not ticked", "beta=O\r\n", false, "beta=N\r\n"},
        {"only the first beta line", "Beta=x\r\nbeta=y\r\n", false, "beta=N\r\nbeta=y\r\n"},
        {"blank before = is another name", "beta =N\r\n", true, "beta =N\r\nbeta=O\r\n"},
        {"betax is another name", "betax=N\r\n", true, "betax=N\r\nbeta=O\r\n"},
        {"CR and LF endings become CR LF", "SERVEUR=srv\rDATABASE=/kliso.ib\nbeta=N", true,
         "SERVEUR=srv\r\nDATABASE=/kliso.ib\r\nbeta=O\r\n"},
        {"empty file", "", false, "beta=N\r\n"},
        {"blank line kept", "A=1\r\n\r\nB=2\r\n", true, "A=1\r\n\r\nB=2\r\nbeta=O\r\n"},
    };
    for (const Case& c : cases) {
        TempIni ini;
        platform::writeWholeFile(ini.path, c.before);
        rewriteBetaFlag(ini.path, c.direct);
        EXPECT_EQ(platform::readWholeFile(ini.path), c.after) << c.what;
    }
}

TEST(KlisoIniBeta, MissingFileIsNotCreated) {
    TempIni ini;
    EXPECT_NO_THROW(rewriteBetaFlag(ini.path, true));
    EXPECT_FALSE(std::filesystem::exists(ini.path));
}

TEST(KlisoIniBeta, FolderInPlaceOfTheFileIsLeftAlone) {
    TempIni ini;
    platform::createFolder(ini.path);
    EXPECT_NO_THROW(rewriteBetaFlag(ini.path, true));
    EXPECT_TRUE(platform::folderExists(ini.path));
}

// The tests run as root here, for whom permissions do not stop a write: the rewrite runs in a
// child process that has given up root.
TEST(KlisoIniBeta, ReadOnlyFileIsLeftAsItWas) {
    TempIni ini;
    const std::string before = "SERVEUR=srv\r\nBETA=N\r\n";
    platform::writeWholeFile(ini.path, before);
    ASSERT_EQ(::chmod(ini.dir.path().toStdString().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(ini.path.c_str(), 0444), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        rewriteBetaFlag(ini.path, true);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the rewrite escaped with an error or could not drop root";
    EXPECT_EQ(platform::readWholeFile(ini.path), before);
}
