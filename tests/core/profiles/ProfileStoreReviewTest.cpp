#include "profiles/ProfileStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace tolvan;
using tolvan::test::TempDir;
using Names = std::vector<std::string>;

// A name or address pasted with its line break must not split the index files:
// the saved profile has to be found again under the one name the list shows,
// and deleting it has to clear every index.
TEST(ProfileStoreReview, LineBreaksInNameAndAddressKeepTheIndexesInStep)
{
    TempDir dir;
    ProfileStore store(dir.path());
    SiteProfile site;
    site.protocol = "http://";
    site.address = "shop.example/\r\n";
    site.title = "Shoes";
    Names names, addresses;
    store.saveProfile("My Shop\n", site, names, addresses);

    const Names storedNames = store.readNames();
    const Names storedAddresses = store.readAddresses();
    ASSERT_EQ(storedNames.size(), 1u);
    ASSERT_EQ(storedAddresses.size(), 1u);
    EXPECT_EQ(storedNames, names);
    EXPECT_EQ(storedAddresses, addresses);
    EXPECT_EQ(store.loadProfile(storedNames[0]).title, "Shoes");
    EXPECT_EQ(store.profileForAddress(storedAddresses[0]), storedNames[0]);

    Names n = storedNames, a = storedAddresses;
    store.deleteProfile(storedNames[0], n, a);
    EXPECT_TRUE(store.readNames().empty());
    EXPECT_TRUE(store.readAddresses().empty());
    EXPECT_EQ(store.profileForAddress(storedAddresses[0]), "");
}
