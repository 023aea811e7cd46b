#include "cli/language.h"

#include "common/codepage.h"
#include "common/message.h"
#include "platform/system.h"

void initLanguage() { useEnglish = !platformUserLanguageIsPolish(); }

void setEnglish() {
    useEnglish = true;
    selectCodePage(1252);
}

void setPolish() {
    useEnglish = false;
    selectCodePage(1250);
}
