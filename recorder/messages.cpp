// SPDX-License-Identifier: GPL-3.0-or-later
#include "messages.h"
#include "keys.h"
#include "take_processing.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

QString RecorderTexts::sentence(const SessionMessage &message)
{
    using Kind = SessionMessage::Kind;
    const QString key = shownName(message.key);
    const QString path = QDir::toNativeSeparators(message.path);
    // The three sentences about files are in the MediaFiles context, where
    // the translation holds them.
    switch (message.kind) {
    case Kind::ChooseAKey:
        return tr("Scegli un tasto: fai clic sulla sua figura, o scrivi la lettera o il numero.");
    case Kind::KeySelected:
        return tr("%1, come %2. Premi Spazio per registrare la tua voce, Ctrl+O per scegliere una figura.")
            .arg(key, KeyMedia::wordOf(key));
    case Kind::SoundSelected:
        return tr("Hai scelto %1. Premi Spazio per registrare la tua voce.").arg(key);
    case Kind::ChooseAKeyFirst:
        return tr("Scegli prima un tasto: fai clic sulla sua figura, o scrivi la lettera o il numero.");
    case Kind::NoPicture:
        return tr("%1 è solo una voce: non ha una figura da scegliere o da togliere.").arg(key);
    case Kind::KeepTakeFirst:
        return tr("Prima tieni la registrazione di %1 (Invio) o buttala via (Esc).").arg(key);
    case Kind::KeepPictureFirst:
        return tr("Prima tieni la figura di %1 (Invio) o buttala via (Esc).").arg(key);
    case Kind::StopFirst:
        return tr("Sto registrando %1: prima fermati con Spazio.").arg(key);
    case Kind::GettingReady:
        return tr("Un momento: preparo il microfono per %1. Parla quando te lo dico.").arg(key);
    case Kind::Recording:
        return tr("Sto registrando %1: parla ora. Premi Spazio quando hai finito; dopo %2 secondi mi fermo da solo.")
            .arg(key, QLocale().toString(Take::MaxSeconds));
    case Kind::NoVoice:
        return tr("Nella registrazione non si sente nessuna voce, quindi non l'ho tenuta. Controlla che il "
                  "microfono sia collegato, acceso e non silenziato; poi parla vicino al microfono e riprova.");
    case Kind::TooShort:
        return tr("La registrazione è troppo breve, quindi non l'ho tenuta. Per registrare fai clic su Registra (o "
                  "premi Spazio), parla, e solo quando hai finito fai clic su Ferma (o premi di nuovo Spazio).");
    case Kind::TakeReady:
        return tr("Ecco la registrazione di %1 (%2 secondi). Premi Invio per tenerla, Esc per buttarla via, o "
                  "Riprova per registrarla di nuovo.")
            .arg(key, QLocale().toString(message.seconds, 'f', 1));
    case Kind::NoSoundServer:
        return tr("Nessun microfono trovato: il sistema audio del computer non risponde. Controlla che il suono "
                  "funzioni (per esempio che un video si senta), poi riprova.");
    case Kind::NoMicrophone:
        return tr("Nessun microfono trovato. Controlla che sia collegato e acceso, e che sia scelto come "
                  "ingresso nelle impostazioni audio del computer; poi riprova.");
    case Kind::MicrophoneLost:
        return tr("Il microfono si è scollegato (o è cambiato) durante la registrazione. La voce di %1 è rimasta "
                  "quella di prima. Ricollega il microfono e riprova.")
            .arg(key);
    case Kind::NoOwnFolder:
        return tr("Non so dove tenere i tuoi file: la cartella personale (HOME) non è impostata.");
    case Kind::CannotWrite:
        return QCoreApplication::translate(
                   "MediaFiles",
                   "Non riesco a scrivere nella cartella %1 (%2). Controlla che esista e che tu possa "
                   "scriverci; la registrazione o la figura resta qui, pronta da tenere.")
            .arg(path, message.reason);
    case Kind::VoiceKept:
        if (RecordingSession::isRecordedGameSound(message.key))
            return tr("Fatto: ora %1 si sente con la tua voce (%2).").arg(key, path);
        return tr("Fatto: ora %1 dice la tua voce (%2).").arg(key, path);
    case Kind::PictureKept:
        return tr("Fatto: ora %1 mostra la tua figura (%2).").arg(key, path);
    case Kind::RecordingInterrupted:
        return tr("Registrazione interrotta: %1 resta com'era.").arg(key);
    case Kind::TakeThrownAway:
        return tr("Registrazione buttata via: %1 resta com'era.").arg(key);
    case Kind::PictureThrownAway:
        return tr("Figura buttata via: %1 resta com'era.").arg(key);
    case Kind::NothingToListen:
        return tr("Per %1 non c'è nessuna registrazione da ascoltare (%2).").arg(key, path);
    case Kind::PictureUnreadable:
        return QCoreApplication::translate(
                   "MediaFiles", "Non riesco a leggere la figura %1 (%2). Scegli una foto o un disegno in JPEG o PNG.")
            .arg(path, message.reason);
    case Kind::PictureReady:
        return tr("Ecco la figura per %1 (%2 × %3). Premi Invio per tenerla, Esc per buttarla via.")
            .arg(key, QLocale().toString(message.size.width()), QLocale().toString(message.size.height()));
    case Kind::AlreadyOriginalVoice:
        return tr("%1 ha già la voce originale.").arg(key);
    case Kind::AlreadyOriginalPicture:
        return tr("%1 ha già la figura originale.").arg(key);
    case Kind::CannotRemove:
        return QCoreApplication::translate(
                   "MediaFiles", "Non riesco a togliere %1 dalla cartella %2 (%3). Controlla che tu possa scriverci.")
            .arg(QFileInfo(message.path).fileName(), QDir::toNativeSeparators(QFileInfo(message.path).absolutePath()),
                 message.reason);
    case Kind::OriginalVoiceBack:
        return tr("Ora %1 ha di nuovo la voce originale.").arg(key);
    case Kind::OriginalPictureBack:
        return tr("Ora %1 ha di nuovo la figura originale.").arg(key);
    }
    return {};
}

QString RecorderTexts::soundLabel(QStringView name)
{
    if (name == KeyMedia::BravoSound)
        return tr("Bravo!");
    if (name == KeyMedia::RiprovaSound)
        return tr("Riprova");
    return name.toString();
}

QString RecorderTexts::shownName(const QString &name)
{
    return RecordingSession::isRecordedGameSound(name) ? tr("«%1»").arg(soundLabel(name)) : name;
}

QString RecorderTexts::soundUse(QStringView name)
{
    if (name == KeyMedia::BravoSound)
        return tr("Nel gioco Ascolta e trova, «Bravo!» si sente quando il bambino preme il tasto giusto. "
                  "È solo una voce, senza figura.");
    if (name == KeyMedia::RiprovaSound)
        return tr("Nel gioco Ascolta e trova, «Riprova» si sente quando il bambino preme un altro tasto: "
                  "meglio dirlo con dolcezza. È solo una voce, senza figura.");
    return {};
}

QString RecorderTexts::mark(bool ownVoice, bool ownPicture)
{
    if (ownVoice && ownPicture)
        return tr("voce e figura tue");
    if (ownVoice)
        return tr("voce tua");
    if (ownPicture)
        return tr("figura tua");
    return tr("originale");
}

QString RecorderTexts::origins(bool ownVoice, bool ownPicture)
{
    return tr("Voce: %1\nFigura: %2")
        .arg(ownVoice ? tr("tua") : tr("originale"), ownPicture ? tr("tua") : tr("originale"));
}

QString RecorderTexts::voiceOrigin(bool ownVoice)
{
    return tr("Voce: %1").arg(ownVoice ? tr("tua") : tr("originale"));
}

QString RecorderTexts::tileToolTip(const QString &key, const QString &mark)
{
    if (RecordingSession::isRecordedGameSound(key))
        return tr("%1: %2").arg(soundLabel(key), mark) + u'\n' + soundUse(key);
    return tr("%1: %2").arg(key, mark);
}

QString RecorderTexts::tileName(const QString &key, const QString &mark)
{
    if (RecordingSession::isRecordedGameSound(key))
        return tr("Suono %1, %2").arg(shownName(key), mark);
    return tr("Tasto %1, %2").arg(key, mark);
}

QString RecorderTexts::unreadableMark()
{
    return tr("figura illeggibile");
}

QString RecorderTexts::unreadablePicture(const QString &path)
{
    return tr("La figura %1 non si legge.").arg(QDir::toNativeSeparators(path));
}
