#include <gtest/gtest.h>

#include "setting/account_form.h"
#include "setting/color_names.h"

namespace {

AccountForm ValidForm()
{
    AccountForm form;
    form.login = "  alice ";
    form.server = "\tpop.example.com ";
    form.port = " 995 ";
    form.interval = "10080";
    form.color = 4;
    return form;
}

TEST(SettingForm, EditingKeepsThePasswordUnseenUnlessRetypedAndTrimsTheRest)
{
    const AccountSettings stored{"bob", "10.0.0.1", "secret", 0, -1, 2110};
    const AccountForm shown = FormFromSettings(stored);
    EXPECT_EQ(shown.password, "");
    EXPECT_EQ(shown.port, "2110");
    EXPECT_EQ(CheckForm(shown).field, FormField::Interval);  // an older profile may hold what is refused

    EXPECT_EQ(SettingsFromForm(ValidForm(), stored), (AccountSettings{"alice", "pop.example.com", "secret", 10080, 4, 995}));
    AccountForm retyped = ValidForm();
    retyped.password = " new pass ";
    EXPECT_EQ(SettingsFromForm(retyped, stored).Password, " new pass ");
    EXPECT_EQ(ColorLabel(7), "Red");
    EXPECT_EQ(ColorLabel(-1), "Other (-1)");
}

TEST(SettingForm, RefusesEachUnacceptableFieldWithItsOwnMessage)
{
    struct Case {
        std::string AccountForm::*field;
        const char* text;
        FormField refused;
    };
    const Case cases[] = {
        {&AccountForm::login, "   ", FormField::Login},        {&AccountForm::login, "a\r\nQUIT", FormField::Login},
        {&AccountForm::server, "", FormField::Server},         {&AccountForm::server, "pop x.com", FormField::Server},
        {&AccountForm::port, "", FormField::Port},             {&AccountForm::port, "0", FormField::Port},
        {&AccountForm::port, "65536", FormField::Port},        {&AccountForm::port, "11O", FormField::Port},
        {&AccountForm::port, "4294967407", FormField::Port},   {&AccountForm::interval, "5 min", FormField::Interval},
        {&AccountForm::interval, "0", FormField::Interval},    {&AccountForm::interval, "10081", FormField::Interval},
        {&AccountForm::password, "pw\nQUIT", FormField::Password},
    };
    ASSERT_FALSE(CheckForm(ValidForm()));
    for (const Case& c : cases) {
        AccountForm form = ValidForm();
        form.*c.field = c.text;
        const FormProblem problem = CheckForm(form);
        EXPECT_EQ(problem.field, c.refused) << '"' << c.text << '"';
        EXPECT_FALSE(problem.message.empty());
    }
    AccountForm both = ValidForm();  // the first field in the dialog's order is reported
    both.port = "x";
    both.interval = "y";
    EXPECT_EQ(CheckForm(both).field, FormField::Port);
}

}  // namespace
