#include "input/cd/image_drive.h"

#include <cctype>
#include <memory>

#include "input/cd/cd_device_layer.h"
#include "input/cd/cue_sheet.h"
#include "input/cd/simulated_drive.h"

namespace kvt::cd {

std::optional<CdImageChoice> ParseCdImageChoice(std::string_view value) {
    if (value.size() < 3 || value[1] != '=' || !std::isalpha(static_cast<unsigned char>(value[0]))) return std::nullopt;
    const int letter = std::toupper(static_cast<unsigned char>(value[0])) - 'A';
    return CdImageChoice{letter, std::string(value.substr(2))};
}

std::optional<ImageFault> InsertCdImage(const CdImageChoice& choice) {
    auto loaded = LoadCueImage(choice.cuePath);
    if (ImageFault* fault = std::get_if<ImageFault>(&loaded)) return std::move(*fault);
    RegisterDriveAtLetter(choice.driveIndex, std::make_shared<SimulatedDrive>(
                                                 std::get<std::shared_ptr<DiscImage>>(loaded), choice.cuePath));
    return std::nullopt;
}

}  // namespace kvt::cd
