#include <gtest/gtest.h>

#include "setting/account_form.h"

namespace {

const AccountForm kValid{"  alice ", "\tpop.example.com ", " 995 ", "10080", "", 4, kSecurityTls, "", ""};

TEST(SettingForm, EditingKeepsThePasswordUnseenUnlessRetypedAndTrimsTheRest)
{
    const AccountSettings stored{"bob", "10.0.0.1", "secret", 0, -1, 2110, kSecurityStls, "C:\\ca.pem", "AB:cd"};
    const AccountForm shown = FormFromSettings(stored);
    EXPECT_EQ(shown.password, "");
    EXPECT_EQ(SettingsFromForm(shown, stored), stored);
    AccountForm retyped = kValid;
    retyped.password = " new pass ";
    retyped.fingerprint = " 00:11 ";
    EXPECT_EQ(SettingsFromForm(retyped, stored),
              (AccountSettings{"alice", "pop.example.com", " new pass ", 10080, 4, 995, kSecurityTls, "", "00:11"}));
}

TEST(SettingForm, AcceptsWhatTheNotifierSendsAndRefusesTheRestWithTheFieldsOwnMessage)
{
    const std::string hex = "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789abcdef";
    struct Case {
        std::string AccountForm::*field;
        std::string text;
        FormField refused;
    };
    const Case cases[] = {
        {&AccountForm::interval, "0", FormField::None},  // the notifier then checks about every second
        {&AccountForm::login, std::string(504, 'a'), FormField::None},
        {&AccountForm::password, std::string(504, 'p'), FormField::None},
        {&AccountForm::fingerprint, hex, FormField::None},
        {&AccountForm::fingerprint, " 01:23 45" + hex.substr(6), FormField::None},
        {&AccountForm::login, "   ", FormField::Login},           {&AccountForm::login, "a\r\nQUIT", FormField::Login},
        {&AccountForm::login, std::string(505, 'a'), FormField::Login},
        {&AccountForm::server, "", FormField::Server},            {&AccountForm::server, "pop x.com", FormField::Server},
        {&AccountForm::port, "", FormField::Port},                {&AccountForm::port, "0", FormField::Port},
        {&AccountForm::port, "65536", FormField::Port},           {&AccountForm::port, "11O", FormField::Port},
        {&AccountForm::port, "4294967407", FormField::Port},      {&AccountForm::interval, "5 min", FormField::Interval},
        {&AccountForm::interval, "-1", FormField::Interval},      {&AccountForm::interval, "10081", FormField::Interval},
        {&AccountForm::password, "pw\nQUIT", FormField::Password},
        {&AccountForm::password, std::string(505, 'p'), FormField::Password},
        {&AccountForm::trustFile, "C:\\ca\r.pem", FormField::TrustFile},
        {&AccountForm::fingerprint, hex.substr(1), FormField::Fingerprint},
        {&AccountForm::fingerprint, hex + "00", FormField::Fingerprint},
        {&AccountForm::fingerprint, "g" + hex.substr(1), FormField::Fingerprint},
    };
    for (const Case& c : cases) {
        AccountForm form = kValid;
        form.*c.field = c.text;
        const FormProblem problem = CheckForm(form);
        EXPECT_EQ(problem.field, c.refused) << '"' << c.text << '"';
        EXPECT_EQ(problem.message.empty(), c.refused == FormField::None);
    }
    AccountForm both = kValid;  // the first field in the dialog's order is reported
    both.port = "x";
    both.interval = "y";
    EXPECT_EQ(CheckForm(both).field, FormField::Port);
}

}  // namespace
