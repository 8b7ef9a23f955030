#pragma once

#include "effects/effect_catalogue.h"
#include "shot_list_fixtures.h"

#include <QByteArray>
#include <QStringList>

// A catalogue as its file holds it, written out here byte by byte.
inline const QByteArray CatalogueBom("\xEF\xBB\xBF");
inline const QByteArray CatalogueHeaderLine(
    "Name;Art;Kaliber (mm);Vorlauf (s);Dauer (s);Steighöhe (m);Sicherheitsabstand (m);NEM (g);Klasse;"
    "Bestand (Stück)\r\n");
inline const QByteArray BombeRow("Bombe 75 mm rot;Bombe;75;3,2;2,5;80;60;45,0;F3;10\r\n");
inline const QByteArray KometenRow("Kometen blau;Kometen;30;0,5;2,0;40;25;12,5;F2;3\r\n");
inline const QByteArray VulkanRow("Vulkan;Vulkan;;;30,0;;15;;F2;\r\n");
inline const QByteArray FaecherRow("Fächer grün;Fächer;100;;4,0;;;;F4;\r\n");
inline const QByteArray ThreeEffects = CatalogueBom + CatalogueHeaderLine + BombeRow + KometenRow + VulkanRow;

inline EffectCatalogue CatalogueFromBytes(const QByteArray& bytes) { return ReadCatalogue(bytes).catalogue; }

// Entries 5 s apart on circuits 0.., with these effects.
inline ShotList ListWithEffects(const QStringList& effects)
{
    ShotList list = SpacedList(int(effects.size()), 5, { 0, 1, 2, 3, 4, 5, 6, 7 });
    for (int i = 0; i < effects.size(); ++i)
        list.effects[i] = effects[i];
    return list;
}
