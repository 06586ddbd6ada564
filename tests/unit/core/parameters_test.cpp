#include "core/parameters.hpp"

#include <gtest/gtest.h>

using namespace RepositoryAccess;

// A password lives in the store's SecureString; its entries hold the mask, so that a dump, an
// echo or a forgotten getValue never shows it. Copies between parameters (transport's switch of
// the connection) and copies of the whole store carry the password itself.
TEST(ParameterValues, KeepPasswordsApartFromTheirMaskedEntries) {
    ParameterValues aValues;
    aValues.setValue(params::passWord, "pw-1");
    aValues.setValue(params::passWord, "pw-2");
    aValues.setValue(params::sourcePassWord, "");
    aValues.setValue(params::hostName, "file:a.db");
    EXPECT_EQ(aValues.getValue(params::passWord), "********");
    EXPECT_EQ(aValues.secret(params::passWord).view(), "pw-1") << "the first value counts";
    EXPECT_TRUE(aValues.isSet(params::sourcePassWord));
    EXPECT_EQ(aValues.getValue(params::sourcePassWord), "");
    EXPECT_TRUE(aValues.secret(params::sourcePassWord).empty());

    const ParameterValues aSaved = aValues;
    aValues.copyValue(params::passWord, params::targetPassWord);
    aValues.copyValue(params::hostName, params::targetHostName);
    EXPECT_EQ(aValues.secret(params::targetPassWord).view(), "pw-1");
    EXPECT_EQ(aValues.getValue(params::targetPassWord), "********");
    EXPECT_EQ(aValues.getValue(params::targetHostName), "file:a.db");

    aValues.unset(params::passWord);
    EXPECT_FALSE(aValues.isSet(params::passWord));
    EXPECT_TRUE(aValues.secret(params::passWord).empty());
    EXPECT_EQ(aSaved.secret(params::passWord).view(), "pw-1");
    aValues = aSaved;
    EXPECT_EQ(aValues.secret(params::passWord).view(), "pw-1");
    EXPECT_FALSE(aValues.isSet(params::targetPassWord));
}
