#pragma once

enum class EepromKind { Board, ChannelDecoder };
