#pragma once

namespace morvik {

// Control numbers. Labels, fields and buttons share one number space across
// both windows.
enum Control : int {
    RunStatusLabel = 9,
    CarrierStatusLabel = 10,
    HeadingLabel = 11,
    SentTextLabel = 12,
    SavedLabel = 13,
    SentTextCaptionLabel = 14,
    TestRunLabel = 15,
    CountRunLabel = 16,
    ClockLabel = 17,
    SentCountCaptionLabel = 19,
    SentCountLabel = 20,
    FillInHintLabel = 21,
    EscapeHintLabel = 22,
    PortCaptionLabel = 23,
    PortField = 24,
    ToneCaptionLabel = 25,
    ToneField = 26,
    UnitCaptionLabel = 27,
    UnitField = 28,
    TextCaptionLabel = 29,
    TextField = 30,
    CarrierCaptionLabel = 31,
    CarrierField = 32,
    CarrierPauseCaptionLabel = 33,
    CarrierPauseField = 34,
    TransmissionPauseCaptionLabel = 35,
    TransmissionPauseField = 36,
    CountCaptionLabel = 37,
    CountField = 38,
    StartCaptionLabel = 39,
    StartField = 40,
    StopCaptionLabel = 41,
    StopField = 42,
    SaveButton = 45,
    TestButton = 46,
    RunCountButton = 47,
    RunTimedButton = 48,
    InfoButton = 49,
    QuitButton = 51,
    InfoHeadingLabel = 53,
    MakerLabel = 64,
    InfoCloseButton = 65,
};

}  // namespace morvik
