#!/usr/bin/perl
# The peer of the HotSync benchmark: Palm::PDB doing the conduit's two jobs
# on the same files, by the same rules.
#   palm_pdb_peer.pl build Cameras.txt LenfolDB.pdb   (lines -> handheld database)
#   palm_pdb_peer.pl read  LenfolDB.pdb Cameras.txt   (handheld database -> lines)
# Prints "seconds S": the time of the job itself, from after perl has
# compiled this script and loaded the modules to the closed output file.
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;
use Time::HiRes qw(time);

my @widths = (45, 45, 30, 4, 4, 1024, 10, 10, 10, 1, 4, 1, 2, 1, 1);
my %allowed = (
    9  => { map { $_ => 1 } qw(0 1) },
    10 => { map { $_ => 1 } (1 .. 10, 'None') },
    11 => { Y => 1, N => 1 },
    12 => { map { $_ => 1 } (0 .. 15) },
    13 => { Y => 1, N => 1 },
    14 => { Y => 1, N => 1 },
);
my %invalid = (9 => '0', 10 => 'None', 11 => 'N', 12 => '0', 13 => 'N', 14 => 'N');

# The fifteen columns of one line, cut to width, coded columns checked.
sub read_columns {
    my ($line) = @_;
    $line =~ s/\r?\n\z//;
    my @columns = split /\t/, $line, -1;
    my @record;
    for my $i (0 .. 14) {
        my $text = defined $columns[$i] ? substr($columns[$i], 0, $widths[$i]) : '';
        $text = $invalid{$i} if exists $allowed{$i} && !$allowed{$i}{$text};
        push @record, $text;
    }
    return @record;
}

sub build {
    my ($in, $out) = @_;
    open my $lines, '<:raw', $in or die "cannot open $in\n";
    my $pdb = Palm::Raw->new({ name => 'LenfolDB', creator => 'LnFo', type => 'Item' });
    my $id = 0;
    while (my $line = <$lines>) {
        my @c = read_columns($line);
        next if $c[14] eq 'Y';
        push @{$pdb->{records}}, {
            id         => ++$id,
            category   => $c[12] + 0,
            attributes => $c[11] eq 'Y' ? { private => 1 } : {},
            data       => join("\0", @c[0 .. 10]) . "\0",
        };
    }
    close $lines;
    $pdb->Write($out) or die "cannot write $out\n";
}

sub read_back {
    my ($in, $out) = @_;
    my $pdb = Palm::PDB->new;
    $pdb->Load($in) or die "cannot load $in\n";
    open my $lines, '>:raw', $out or die "cannot open $out\n";
    for my $record (@{$pdb->{records}}) {
        my $a = $record->{attributes};
        next if $a->{Delete} || $a->{archive};
        my @body = split /\0/, $record->{data}, -1;
        my @c;
        for my $i (0 .. 10) {
            my $text = defined $body[$i] ? substr($body[$i], 0, $widths[$i]) : '';
            $text =~ tr/\t\r\n/   /;
            $text = ' ' if $text eq '' && ($i <= 1 || $i >= 9);
            push @c, $text;
        }
        my $category = $record->{category};
        $category = 0 unless defined $category && $category >= 1 && $category <= 15;
        print {$lines} join("\t", @c, $a->{Secret} ? 'Y' : 'N', $category, 'N', 'N'), "\n";
    }
    close $lines or die "cannot write $out\n";
}

@ARGV == 3 or die "usage: $0 build|read IN OUT\n";
my ($mode, $in, $out) = @ARGV;
my $start = time;
if ($mode eq 'build') { build($in, $out) }
elsif ($mode eq 'read') { read_back($in, $out) }
else { die "unknown mode $mode\n" }
printf "seconds %.6f\n", time - $start;
