#include <gtest/gtest.h>

#include "setting/account_form.h"
#include "setting/color_names.h"

namespace {

AccountForm ValidForm()
{
    AccountForm form;
    form.login = "alice";
    form.server = "pop.example.com";
    form.port = "110";
    form.interval = "10";
    form.color = 4;
    return form;
}

TEST(SettingForm, AcceptedFieldsBecomeTheAccountsSettings)
{
    AccountSettings edited;
    edited.Password = "kept";
    AccountForm form = ValidForm();
    form.login = "  alice ";
    form.server = "\tpop.example.com ";
    form.port = " 995 ";
    form.interval = "10080";
    ASSERT_FALSE(CheckForm(form));

    const AccountSettings settings = SettingsFromForm(form, edited);
    EXPECT_EQ(settings.Account, "alice");
    EXPECT_EQ(settings.Address, "pop.example.com");
    EXPECT_EQ(settings.Port, 995);
    EXPECT_EQ(settings.Duration, 10080);
    EXPECT_EQ(settings.Color, 4);
    EXPECT_EQ(settings.Password, "kept") << "a password not retyped stays";

    form.password = " new pass ";
    EXPECT_EQ(SettingsFromForm(form, edited).Password, " new pass ") << "typed passwords are taken as typed";
}

TEST(SettingForm, EditingStartsFromTheStoredValuesButNeverShowsThePassword)
{
    AccountSettings stored;
    stored.Account = "bob";
    stored.Address = "10.0.0.1";
    stored.Password = "secret";
    stored.Port = 2110;
    stored.Duration = 0;  // an older profile may hold what the dialog would refuse
    stored.Color = -1;
    const AccountForm form = FormFromSettings(stored);
    EXPECT_EQ(form.login, "bob");
    EXPECT_EQ(form.server, "10.0.0.1");
    EXPECT_EQ(form.port, "2110");
    EXPECT_EQ(form.interval, "0");
    EXPECT_EQ(form.password, "");
    EXPECT_EQ(CheckForm(form).field, FormField::Interval);

    AccountForm fixed = form;
    fixed.interval = "15";
    const AccountSettings saved = SettingsFromForm(fixed, stored);
    EXPECT_EQ(saved.Color, -1) << "an unnamed colour is kept unless another is picked";
    EXPECT_EQ(saved.Password, "secret");
}

TEST(SettingForm, RefusesEachUnacceptableFieldWithItsOwnMessage)
{
    struct Case {
        void (*change)(AccountForm&);
        FormField field;
    };
    const Case cases[] = {
        {[](AccountForm& f) { f.login = "   "; }, FormField::Login},
        {[](AccountForm& f) { f.login = "a\r\nQUIT"; }, FormField::Login},
        {[](AccountForm& f) { f.server = ""; }, FormField::Server},
        {[](AccountForm& f) { f.server = "pop example.com"; }, FormField::Server},
        {[](AccountForm& f) { f.port = ""; }, FormField::Port},
        {[](AccountForm& f) { f.port = "0"; }, FormField::Port},
        {[](AccountForm& f) { f.port = "65536"; }, FormField::Port},
        {[](AccountForm& f) { f.port = "-110"; }, FormField::Port},
        {[](AccountForm& f) { f.port = "11O"; }, FormField::Port},
        {[](AccountForm& f) { f.port = "4294967407"; }, FormField::Port},  // 2^32 + 111
        {[](AccountForm& f) { f.interval = "ten"; }, FormField::Interval},
        {[](AccountForm& f) { f.interval = "5 min"; }, FormField::Interval},
        {[](AccountForm& f) { f.interval = "0"; }, FormField::Interval},
        {[](AccountForm& f) { f.interval = "10081"; }, FormField::Interval},
        {[](AccountForm& f) { f.interval = "1.5"; }, FormField::Interval},
        {[](AccountForm& f) { f.password = "pw\nQUIT"; }, FormField::Password},
    };
    for (const Case& c : cases) {
        AccountForm form = ValidForm();
        c.change(form);
        const FormProblem problem = CheckForm(form);
        SCOPED_TRACE("login '" + form.login + "' server '" + form.server + "' port '" + form.port +
                     "' interval '" + form.interval + "'");
        EXPECT_EQ(problem.field, c.field);
        EXPECT_FALSE(problem.message.empty());
    }

    // The first field in the dialog's order is the one reported.
    AccountForm both = ValidForm();
    both.port = "x";
    both.interval = "y";
    EXPECT_EQ(CheckForm(both).field, FormField::Port);
    EXPECT_NE(CheckForm(both).message, [] {
        AccountForm interval = ValidForm();
        interval.interval = "y";
        return CheckForm(interval).message;
    }());
}

TEST(SettingForm, ColoursAreNamedInPaletteOrderAndOthersShowTheirValue)
{
    EXPECT_STREQ(NamedColor(0), "Black");
    EXPECT_STREQ(NamedColor(3), "Grey");
    EXPECT_STREQ(NamedColor(7), "Red");
    EXPECT_STREQ(NamedColor(9), "Yellow");
    EXPECT_EQ(ColorLabel(5), "Navy");
    EXPECT_EQ(ColorLabel(-1), "Other (-1)");
    EXPECT_EQ(ColorLabel(10), "Other (10)");
    EXPECT_FALSE(IsNamedColor(10));
    EXPECT_STREQ(NamedColor(-1), "");
}

}  // namespace
