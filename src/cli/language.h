// The message language chosen at start-up and by -E / -P.
#pragma once

// Sets useEnglish from the user's language.
void initLanguage();

// -E and -P: switch the language and the code page that goes with it.
void setEnglish();
void setPolish();
