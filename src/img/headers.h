// What the system keeps of each subfile's header.
#pragma once

#include "common/input_file.h"

// Each acts only on its own types (TRE or GMP; LBL or GMP; DEM or GMP; TYP,
// TRF, MMR or MD2) and succeeds without a record for the others. false after
// a read failure or a wrong TRE or LBL signature (message printed).
bool readTreInfo(InputFile& input, Subfile& subfile);
bool readLblInfo(InputFile& input, Subfile& subfile);
bool readDemInfo(InputFile& input, Subfile& subfile);
bool readAuxInfo(InputFile& input, Subfile& subfile);
