#pragma once

#include "notificationqueue.h"

#include <QListWidget>

#include <array>
#include <memory>

// Seven loose list boxes holding a queue, as the main window holds them.
struct QueueFixture {
    std::array<std::unique_ptr<QListWidget>, 7> boxes;
    NotificationQueue queue;

    QueueFixture()
        : boxes{std::make_unique<QListWidget>(), std::make_unique<QListWidget>(),
                std::make_unique<QListWidget>(), std::make_unique<QListWidget>(),
                std::make_unique<QListWidget>(), std::make_unique<QListWidget>(),
                std::make_unique<QListWidget>()}
        , queue({boxes[0].get(), boxes[1].get(), boxes[2].get(), boxes[3].get(), boxes[4].get(),
                 boxes[5].get(), boxes[6].get()}) {}

    QListWidget &List(int number) {
        // List1..List5, List7, List8
        const int index = number <= 5 ? number - 1 : number - 2;
        return *boxes[index];
    }

    // Every list holds the same number of items.
    bool Aligned() {
        for (auto &box : boxes)
            if (box->count() != boxes[0]->count())
                return false;
        return true;
    }
};
