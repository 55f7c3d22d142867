#pragma once

// The amount of a voucher in Serbian words, as it is written under the figures: the whole
// units in words with the currency's word in the case its last number asks for ("jedan
// dinar", "dva dinara", "pet dinara", "jedanaest dinara", "dvadeset jedan dinar"; "evro",
// "evra"), then the hundredths as " i NN/100" when there are any. Thousands are feminine
// ("hiljadu", "dve hiljade", "dvadeset jedna hiljada", "pet hiljada"), millions masculine
// ("milion", "dva miliona"), milliards feminine ("milijarda", "dve milijarde"). Zero is
// "nula dinara", a negative amount begins with "minus".
//
//   3500.50 DIN  ->  "tri hiljade petsto dinara i 50/100"

#include "engine/Money.h"

#include <QString>

namespace desk {

enum class Currency;

QString amountInWords(engine::Money amount, Currency currency);

} // namespace desk
