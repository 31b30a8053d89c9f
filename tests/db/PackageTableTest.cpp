#include "PackageTable.h"

#include <gtest/gtest.h>

using namespace halvio;

TEST(PackageTable, LongTextsAreCutToTheirFieldWidth) {
    PackageTable tmem;
    tmem.open();
    tmem.append();
    tmem.setDescription(std::string(120, 'd'));
    tmem.setNom(std::string(130, 'n'));
    tmem.setDates("2004.05.12 10:22:33 and more");
    tmem.setEtat(std::string(30, 'e'));
    tmem.post();
    EXPECT_EQ(tmem.current().DESCRIPTION, std::string(100, 'd'));
    EXPECT_EQ(tmem.current().NOM, std::string(100, 'n'));
    EXPECT_EQ(tmem.current().DATES, "2004.05.12 10:22:33 ");
    EXPECT_EQ(tmem.current().etat, std::string(20, 'e'));
    EXPECT_FALSE(tmem.current().pc.has_value());
}

TEST(PackageTable, SortIgnoresCaseAndStartsAtTheFirstRow) {
    PackageTable tmem;
    tmem.open();
    for (const char* name : {"sql_b", "HALVIO", "Sql_a"}) {
        tmem.append();
        tmem.setNom(name);
        tmem.post();
    }
    tmem.sortByNom();
    ASSERT_EQ(tmem.rowCount(), 3u);
    EXPECT_EQ(tmem.row(0).NOM, "HALVIO");
    EXPECT_EQ(tmem.row(1).NOM, "Sql_a");
    EXPECT_EQ(tmem.row(2).NOM, "sql_b");
    EXPECT_EQ(tmem.currentIndex(), 0u);
}

TEST(PackageTable, FieldsChangeOnlyInEditingAndTheCursorWalksToTheEnd) {
    PackageTable tmem;
    tmem.open();
    EXPECT_TRUE(tmem.eof());
    tmem.append();
    tmem.post();
    EXPECT_THROW(tmem.setEtat("Transfer."), std::runtime_error);
    tmem.edit();
    tmem.setEtat("Transfer.");
    tmem.setPc(67);
    tmem.post();
    EXPECT_EQ(tmem.current().pc, 67);
    tmem.next();
    EXPECT_TRUE(tmem.eof());
    EXPECT_THROW(tmem.edit(), std::runtime_error);
    tmem.first();
    EXPECT_FALSE(tmem.eof());
}

TEST(PackageTable, ListenerHearsEveryChange) {
    PackageTable tmem;
    int changes = 0;
    tmem.setChangeListener([&] { ++changes; });
    tmem.append();
    tmem.setEtat("x");
    tmem.post();
    EXPECT_GE(changes, 3);
}
