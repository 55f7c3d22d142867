// The voucher's amount in words: the forms of the currency's word and of the thousands and
// millions after each kind of last number, in both currencies.

#include "desk/AmountInWords.h"
#include "desk/Posting.h"

#include <gtest/gtest.h>

#include <limits>

using desk::Currency;
using engine::Money;

TEST(AmountInWordsTest, SerbianWordsInBothCurrencies)
{
    const struct
    {
        qint64 hundredths;
        const char *dinars;
        const char *euros;
    } cases[] = {
        {0, "nula dinara", "nula evra"},
        {1, "nula dinara i 01/100", "nula evra i 01/100"},
        {100, "jedan dinar", "jedan evro"},
        {200, "dva dinara", "dva evra"},
        {500, "pet dinara", "pet evra"},
        {1100, "jedanaest dinara", "jedanaest evra"},
        {1200, "dvanaest dinara", "dvanaest evra"},
        {2100, "dvadeset jedan dinar", "dvadeset jedan evro"},
        {2300, "dvadeset tri dinara", "dvadeset tri evra"},
        {10000, "sto dinara", "sto evra"},
        {10100, "sto jedan dinar", "sto jedan evro"},
        {100000, "hiljadu dinara", "hiljadu evra"},
        {200000, "dve hiljade dinara", "dve hiljade evra"},
        {350050, "tri hiljade petsto dinara i 50/100", "tri hiljade petsto evra i 50/100"},
        {500000, "pet hiljada dinara", "pet hiljada evra"},
        {1200000, "dvanaest hiljada dinara", "dvanaest hiljada evra"},
        {2100100, "dvadeset jedna hiljada jedan dinar", "dvadeset jedna hiljada jedan evro"},
        {2200000, "dvadeset dve hiljade dinara", "dvadeset dve hiljade evra"},
        {100000000, "milion dinara", "milion evra"},
        {200000000, "dva miliona dinara", "dva miliona evra"},
        {2100000000, "dvadeset jedan milion dinara", "dvadeset jedan milion evra"},
        {99999999999,
         "devetsto devedeset devet miliona devetsto devedeset devet hiljada devetsto devedeset "
         "devet dinara i 99/100",
         "devetsto devedeset devet miliona devetsto devedeset devet hiljada devetsto devedeset "
         "devet evra i 99/100"},
        {200000000000, "dve milijarde dinara", "dve milijarde evra"},
        {-10050, "minus sto dinara i 50/100", "minus sto evra i 50/100"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.hundredths);
        EXPECT_EQ(desk::amountInWords(Money::fromHundredths(c.hundredths), Currency::Dinars),
                  QString::fromLatin1(c.dinars));
        EXPECT_EQ(desk::amountInWords(Money::fromHundredths(c.hundredths), Currency::Euros),
                  QString::fromLatin1(c.euros));
    }
    // The smallest amount there is has no positive counterpart in 64 bits.
    EXPECT_TRUE(desk::amountInWords(Money::fromHundredths(std::numeric_limits<qint64>::min()),
                                    Currency::Dinars)
                    .startsWith(QLatin1String("minus devedeset dve bilijarde dvesta trideset tri biliona")));
}
